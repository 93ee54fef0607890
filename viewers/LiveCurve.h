#pragma once
// The curve a recording shows while it grows: entry i at x = i, at most `maximumBuckets`
// buckets of k consecutive entries each. k starts at 1 and doubles (neighbouring buckets merge)
// whenever one more bucket would be needed, so that appending costs the same however long the
// recording runs and drawing costs at most two segments a bucket. A bucket is drawn as its
// range (a vertical segment at its centre from its smallest to its largest value) joined from
// the previous bucket's last value to its first one; with k = 1 that is the polyline through
// the entries.

#include <cstddef>
#include <vector>

#include "engine/LinedMeshConstructor.h"

class LiveCurve {
public:
    explicit LiveCurve(std::size_t maximumBuckets = 4096);

    void clear();
    // Appends the value of entry count().
    void append(float value);
    std::size_t count() const { return count_; }
    std::size_t bucketSize() const { return bucketSize_; }
    // Adds the curve's segments to `graph` in its current colour.
    void draw(KestrelQt3DEngine::LinedMeshConstructor& graph) const;

private:
    struct Bucket {
        float first, last, low, high;
    };
    std::size_t maximumBuckets_;
    std::size_t bucketSize_ = 1;
    std::size_t count_ = 0;
    std::vector<Bucket> buckets_;
};
