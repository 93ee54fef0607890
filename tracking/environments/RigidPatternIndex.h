#pragma once
// The pattern index of a rigid layout: which small groups of tiles (1 to 4 tiles within a
// 5 by 5 cell box, with their bar orientations) occur exactly once in the layout, under any of
// the four quarter turns.
//
// Decisions:
// - Key: the pattern's normal form (tiles turned, translated so that the smallest x and y are
//   0, sorted by (x, y, orientation)) packed into 64 bits: tile count in bits 32..34, then each
//   tile as one byte (x * 5 + y) * 4 + orientation, the first tile of the sorted form in bits
//   24..31, the next in 16..23 and so on. Offsets 0..4 and orientations 0..3 give bytes 0..99,
//   so equal keys mean equal normal forms. Keys of fewer tiles are smaller.
// - Candidates: every subset of 1 to 4 tiles whose bounding box fits 5 by 5 cells, each exactly
//   once (anchored at its smallest tile in (x, y) order). That is the union of what sliding
//   5 by 5 windows and their sub-rectangles would produce, without visiting a subset twice,
//   so a pattern seen at two places is always found to be ambiguous.
// - Entering: a subset whose turn-0 key is already present (for another subset) makes both
//   ambiguous: it is dropped and the present pattern is emptied; a subset two of whose four
//   turn keys coincide looks the same after a turn and is dropped; otherwise its four keys are
//   entered. Only patterns that still cover tiles are kept for matching.
// - Observation: a seen group's subsets are produced the same way (turn-0 keys only) and
//   looked up in ascending key order, so that the fewest tiles that decide the place are used.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Kestrel::Orb::Tracking {

struct PatternTile {
    int32_t x = 0, y = 0;     // cell, or offset from another tile
    int32_t orientation = 0;  // 0..3
    uint32_t source = 0;      // tile list index (layout) or bar number (observation)
};

constexpr int maximumPatternTiles = 4;
constexpr int maximumPatternSide = 5;

// Tiles turned by `turn` quarter turns ((x, y) -> (-y, x) per turn, orientation + 1), moved so
// that the smallest x and y are 0, and sorted by (x, y, orientation).
std::vector<PatternTile> normalForm(const std::vector<PatternTile>& tiles, int turn);
// Key of a normal form of 1 to 4 tiles with offsets 0..4 (see above).
uint64_t patternKey(const std::vector<PatternTile>& normal);

// A candidate subset with its turn-0 normal form (tiles in key order).
struct PatternCandidate {
    uint64_t key;
    std::vector<PatternTile> normal;
};
// Every subset of 1 to 4 of `tiles` whose bounding box fits 5 by 5 cells; cells must differ.
// At most `maximum` of them: the enumeration stops there (a group of many bars seen within a
// few cells has hundreds of thousands). `onlyCount` 1 to 4: only the subsets of that many tiles.
std::vector<PatternCandidate> patternCandidates(const std::vector<PatternTile>& tiles,
                                                std::size_t maximum = SIZE_MAX, int onlyCount = 0);

struct PatternEntry {
    uint64_t key;
    uint8_t count;                          // tiles covered
    uint32_t tiles[maximumPatternTiles];    // tile list indices, in the order of the key's normal form
};

class RigidPatternIndex {
public:
    RigidPatternIndex() = default;
    explicit RigidPatternIndex(const std::vector<PatternTile>& layout);

    // The entry of `key`, or null when no unambiguous pattern has it.
    const PatternEntry* find(uint64_t key) const;
    const std::vector<PatternEntry>& entries() const { return entries_; }  // ascending keys
    bool empty() const { return entries_.empty(); }
    // Smallest tile count over the entries; 0 for an empty index.
    unsigned minBars() const { return minBars_; }

private:
    std::vector<PatternEntry> entries_;
    unsigned minBars_ = 0;
};

} // namespace Kestrel::Orb::Tracking
