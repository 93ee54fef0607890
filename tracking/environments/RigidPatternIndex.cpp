#include "tracking/environments/RigidPatternIndex.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>

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

namespace {

// Calls `visit(subset, count)` for every subset of 1 to 4 tiles whose bounding box fits 5 by 5
// cells, each once: anchored at its smallest tile in (x, y) order, the other tiles in that
// order too, so every subset comes sorted by (x, y); subsets of more than `largest` tiles are
// not formed. `visit` returns false to stop.
template <class Visit>
void forEachSubset(const std::vector<PatternTile>& tiles, int largest, Visit&& visit) {
    std::vector<PatternTile> ordered(tiles);
    std::sort(ordered.begin(), ordered.end(),
              [](const PatternTile& a, const PatternTile& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    std::vector<std::size_t> near;
    PatternTile subset[maximumPatternTiles];
    for (std::size_t a = 0; a < ordered.size(); ++a) {
        // Later tiles that can share a 5 by 5 box with the anchor.
        near.clear();
        for (std::size_t b = a + 1; b < ordered.size() && ordered[b].x - ordered[a].x < maximumPatternSide; ++b)
            if (std::abs(ordered[b].y - ordered[a].y) < maximumPatternSide)
                near.push_back(b);
        const std::size_t n = near.size();
        subset[0] = ordered[a];
        auto fits = [&](int count) {
            int32_t lowY = subset[0].y, highY = subset[0].y;
            for (int i = 1; i < count; ++i) {
                lowY = std::min(lowY, subset[i].y);
                highY = std::max(highY, subset[i].y);
            }
            return highY - lowY < maximumPatternSide;
        };
        if (!visit(subset, 1))
            return;
        for (std::size_t i = 0; i < n && largest >= 2; ++i) {
            subset[1] = ordered[near[i]];
            if (!visit(subset, 2))
                return;
            for (std::size_t j = i + 1; j < n && largest >= 3; ++j) {
                subset[2] = ordered[near[j]];
                if (!fits(3))
                    continue;  // adding tiles never narrows the box
                if (!visit(subset, 3))
                    return;
                for (std::size_t k = j + 1; k < n && largest >= 4; ++k) {
                    subset[3] = ordered[near[k]];
                    if (fits(4) && !visit(subset, 4))
                        return;
                }
            }
        }
    }
}

// The normal form of `count` tiles under `turn`, into `out` (see normalForm).
void normalFormInto(const PatternTile* tiles, int count, int turn, PatternTile* out) {
    int32_t smallestX = INT32_MAX, smallestY = INT32_MAX;
    for (int i = 0; i < count; ++i) {
        PatternTile tile = tiles[i];
        for (int r = 0; r < (turn & 3); ++r)
            tile = PatternTile{-tile.y, tile.x, tile.orientation, tile.source};
        tile.orientation = (tile.orientation + turn) & 3;
        smallestX = std::min(smallestX, tile.x);
        smallestY = std::min(smallestY, tile.y);
        out[i] = tile;
    }
    for (int i = 0; i < count; ++i) {
        out[i].x -= smallestX;
        out[i].y -= smallestY;
    }
    std::sort(out, out + count, [](const PatternTile& a, const PatternTile& b) {
        if (a.x != b.x)
            return a.x < b.x;
        if (a.y != b.y)
            return a.y < b.y;
        return a.orientation < b.orientation;
    });
}

uint64_t keyOf(const PatternTile* normal, int count) {
    uint64_t key = uint64_t(count) << 32;
    int shift = 24;
    for (int i = 0; i < count; ++i, shift -= 8)
        key |= uint64_t((normal[i].x * maximumPatternSide + normal[i].y) * 4 + (normal[i].orientation & 3)) << shift;
    return key;
}

// How often each normal form occurs, saturating at 2, two bits per form, indexed densely by
// its key: the first tile of a normal form has x = 0, so its byte is below 20 and every other
// byte below 100, which gives 20 * 100^(count - 1) forms per tile count (5 MB in all). The
// table is taken zeroed from the allocator, so the pages of forms never counted stay
// untouched.
class NormalFormCounts {
public:
    NormalFormCounts() : bits_(static_cast<uint8_t*>(std::calloc(slots / 4 + 1, 1)), &std::free) {
        if (!bits_)
            throw std::bad_alloc();
    }
    unsigned get(uint64_t key) const {
        const std::size_t s = slot(key);
        return (bits_.get()[s / 4] >> (s % 4 * 2)) & 3;
    }
    void add(uint64_t key) {
        const std::size_t s = slot(key);
        uint8_t& byte = bits_.get()[s / 4];
        const unsigned count = (byte >> (s % 4 * 2)) & 3;
        if (count < 2)
            byte = uint8_t(byte + (1u << (s % 4 * 2)));
    }

private:
    static constexpr std::size_t slots = 20 + 2000 + 200000 + 20000000;
    static std::size_t slot(uint64_t key) {
        static constexpr std::size_t offset[5] = {0, 0, 20, 2020, 202020};
        const unsigned count = unsigned(key >> 32);
        std::size_t digits = 0;
        for (unsigned i = 0; i < count; ++i)
            digits = digits * 100 + ((key >> (24 - 8 * i)) & 0xFF);
        return offset[count] + digits;
    }
    std::unique_ptr<uint8_t, decltype(&std::free)> bits_;
};

} // namespace

std::vector<PatternCandidate> patternCandidates(const std::vector<PatternTile>& tiles, std::size_t maximum,
                                                int onlyCount) {
    std::vector<PatternCandidate> candidates;
    forEachSubset(tiles, onlyCount > 0 ? onlyCount : maximumPatternTiles, [&](const PatternTile* subset, int count) {
        if (onlyCount > 0 && count != onlyCount)
            return true;
        if (candidates.size() >= maximum)
            return false;
        std::vector<PatternTile> normal(std::size_t(count), PatternTile{});
        normalFormInto(subset, count, 0, normal.data());
        candidates.push_back(PatternCandidate{keyOf(normal.data(), count), std::move(normal)});
        return true;
    });
    return candidates;
}

// A pattern is kept when its class (the normal forms of its four turns) occurs at exactly one
// place and its four turns differ. The subsets are enumerated twice instead of being held: the
// first pass counts every subset's turn-0 normal form; in the second a subset whose turn-0 form
// was counted once and whose other turns were never counted is the only one of its class.
RigidPatternIndex::RigidPatternIndex(const std::vector<PatternTile>& layout) {
    NormalFormCounts counts;
    PatternTile normal[maximumPatternTiles];
    forEachSubset(layout, maximumPatternTiles, [&](const PatternTile* subset, int count) {
        normalFormInto(subset, count, 0, normal);
        counts.add(keyOf(normal, count));
        return true;
    });
    forEachSubset(layout, maximumPatternTiles, [&](const PatternTile* subset, int count) {
        normalFormInto(subset, count, 0, normal);
        if (counts.get(keyOf(normal, count)) != 1)
            return true;
        PatternEntry keys[4];
        for (int turn = 0; turn < 4; ++turn) {
            if (turn > 0)
                normalFormInto(subset, count, turn, normal);
            PatternEntry& entry = keys[turn];
            entry.key = keyOf(normal, count);
            entry.count = uint8_t(count);
            for (int i = 0; i < count; ++i)
                entry.tiles[i] = normal[i].source;
            for (int i = count; i < maximumPatternTiles; ++i)
                entry.tiles[i] = 0;
            if (turn > 0 && counts.get(entry.key) != 0)
                return true;  // another place holds a turned copy
            for (int earlier = 0; earlier < turn; ++earlier)
                if (keys[earlier].key == entry.key)
                    return true;  // looks the same after a turn
        }
        entries_.insert(entries_.end(), std::begin(keys), std::end(keys));
        return true;
    });
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
