#include "tracking/environments/RigidPatternIndex.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unordered_map>

namespace Kestrel::Orb::Tracking {

std::vector<PatternTile> normalForm(const std::vector<PatternTile>& tiles, int turn) {
    std::vector<PatternTile> turned(tiles);
    int32_t smallestX = INT32_MAX, smallestY = INT32_MAX;
    for (PatternTile& tile : turned) {
        for (int r = 0; r < (turn & 3); ++r)
            tile = PatternTile{-tile.y, tile.x, tile.orientation, tile.source};
        tile.orientation = (tile.orientation + turn) & 3;
        smallestX = std::min(smallestX, tile.x);
        smallestY = std::min(smallestY, tile.y);
    }
    for (PatternTile& tile : turned) {
        tile.x -= smallestX;
        tile.y -= smallestY;
    }
    std::sort(turned.begin(), turned.end(), [](const PatternTile& a, const PatternTile& b) {
        if (a.x != b.x)
            return a.x < b.x;
        if (a.y != b.y)
            return a.y < b.y;
        return a.orientation < b.orientation;
    });
    return turned;
}

uint64_t patternKey(const std::vector<PatternTile>& normal) {
    uint64_t key = uint64_t(normal.size()) << 32;
    int shift = 24;
    for (const PatternTile& tile : normal) {
        key |= uint64_t((tile.x * maximumPatternSide + tile.y) * 4 + (tile.orientation & 3)) << shift;
        shift -= 8;
    }
    return key;
}

std::vector<PatternCandidate> patternCandidates(const std::vector<PatternTile>& tiles) {
    std::vector<PatternTile> ordered(tiles);
    std::sort(ordered.begin(), ordered.end(),
              [](const PatternTile& a, const PatternTile& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    std::vector<PatternCandidate> candidates;
    std::vector<PatternTile> subset;
    std::vector<std::size_t> near;
    for (std::size_t a = 0; a < ordered.size(); ++a) {
        // Later tiles that can share a 5 by 5 box with the anchor.
        near.clear();
        for (std::size_t b = a + 1; b < ordered.size() && ordered[b].x - ordered[a].x < maximumPatternSide; ++b)
            if (std::abs(ordered[b].y - ordered[a].y) < maximumPatternSide)
                near.push_back(b);
        const std::size_t n = near.size();
        auto emit = [&] {
            int32_t lowY = INT32_MAX, highY = INT32_MIN, highX = INT32_MIN;
            for (const PatternTile& tile : subset) {
                lowY = std::min(lowY, tile.y);
                highY = std::max(highY, tile.y);
                highX = std::max(highX, tile.x);
            }
            if (highY - lowY >= maximumPatternSide || highX - subset[0].x >= maximumPatternSide)
                return;
            std::vector<PatternTile> normal = normalForm(subset, 0);
            const uint64_t key = patternKey(normal);
            candidates.push_back(PatternCandidate{key, std::move(normal)});
        };
        subset.assign(1, ordered[a]);
        emit();
        for (std::size_t i = 0; i < n; ++i) {
            subset.assign({ordered[a], ordered[near[i]]});
            emit();
            for (std::size_t j = i + 1; j < n; ++j) {
                subset.assign({ordered[a], ordered[near[i]], ordered[near[j]]});
                emit();
                for (std::size_t k = j + 1; k < n; ++k) {
                    subset.assign({ordered[a], ordered[near[i]], ordered[near[j]], ordered[near[k]]});
                    emit();
                }
            }
        }
    }
    return candidates;
}

RigidPatternIndex::RigidPatternIndex(const std::vector<PatternTile>& layout) {
    struct Pattern {
        PatternEntry keys[4];
        bool covers = true;
    };
    std::vector<Pattern> patterns;
    std::unordered_map<uint64_t, std::size_t> owner;  // key -> pattern
    for (const PatternCandidate& candidate : patternCandidates(layout)) {
        if (auto present = owner.find(candidate.key); present != owner.end()) {
            patterns[present->second].covers = false;  // seen twice: ambiguous
            continue;
        }
        Pattern pattern;
        for (int turn = 0; turn < 4; ++turn) {
            const std::vector<PatternTile> normal = turn == 0 ? candidate.normal : normalForm(candidate.normal, turn);
            PatternEntry& entry = pattern.keys[turn];
            entry.key = patternKey(normal);
            entry.count = uint8_t(normal.size());
            for (std::size_t i = 0; i < normal.size(); ++i)
                entry.tiles[i] = normal[i].source;
        }
        bool symmetric = false;
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                symmetric = symmetric || pattern.keys[a].key == pattern.keys[b].key;
        if (symmetric)
            continue;
        for (const PatternEntry& entry : pattern.keys)
            owner.emplace(entry.key, patterns.size());
        patterns.push_back(pattern);
    }
    for (const Pattern& pattern : patterns)
        if (pattern.covers)
            entries_.insert(entries_.end(), std::begin(pattern.keys), std::end(pattern.keys));
    std::sort(entries_.begin(), entries_.end(), [](const PatternEntry& a, const PatternEntry& b) { return a.key < b.key; });
    minBars_ = entries_.empty() ? 0 : UINT_MAX;
    for (const PatternEntry& entry : entries_)
        minBars_ = std::min<unsigned>(minBars_, entry.count);
}

const PatternEntry* RigidPatternIndex::find(uint64_t key) const {
    auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                  [](const PatternEntry& entry, uint64_t k) { return entry.key < k; });
    return found != entries_.end() && found->key == key ? &*found : nullptr;
}

} // namespace Kestrel::Orb::Tracking
