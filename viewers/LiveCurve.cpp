#include "viewers/LiveCurve.h"

#include <algorithm>

// An even bucket limit keeps the merged buckets aligned on the doubled size.
LiveCurve::LiveCurve(std::size_t maximumBuckets) : maximumBuckets_(std::max<std::size_t>(2, maximumBuckets & ~std::size_t(1))) {
    buckets_.reserve(maximumBuckets_ + 1);
}

void LiveCurve::clear() {
    buckets_.clear();
    bucketSize_ = 1;
    count_ = 0;
}

void LiveCurve::append(float value) {
    if (count_ % bucketSize_ != 0) {
        Bucket& bucket = buckets_.back();
        bucket.last = value;
        bucket.low = std::min(bucket.low, value);
        bucket.high = std::max(bucket.high, value);
        ++count_;
        return;
    }
    buckets_.push_back({value, value, value, value});
    ++count_;
    if (buckets_.size() <= maximumBuckets_)
        return;
    // Every bucket but the new one is full: pairs merge into buckets of twice the size.
    std::size_t merged = 0;
    for (std::size_t i = 0; i < buckets_.size(); i += 2, ++merged) {
        Bucket bucket = buckets_[i];
        if (i + 1 < buckets_.size()) {
            const Bucket& next = buckets_[i + 1];
            bucket.last = next.last;
            bucket.low = std::min(bucket.low, next.low);
            bucket.high = std::max(bucket.high, next.high);
        }
        buckets_[merged] = bucket;
    }
    buckets_.resize(merged);
    bucketSize_ *= 2;
}

void LiveCurve::draw(KestrelQt3DEngine::LinedMeshConstructor& graph) const {
    graph.reserve(int(4 * buckets_.size()));
    float previousX = 0, previousLast = 0;
    for (std::size_t j = 0; j < buckets_.size(); ++j) {
        const Bucket& bucket = buckets_[j];
        const std::size_t first = j * bucketSize_;
        const std::size_t entries = std::min(bucketSize_, count_ - first);
        const float x = float(first) + 0.5f * float(entries - 1);
        if (j > 0)
            graph.line(QVector3D(previousX, previousLast, 0), QVector3D(x, bucket.first, 0));
        if (bucket.low < bucket.high)
            graph.line(QVector3D(x, bucket.low, 0), QVector3D(x, bucket.high, 0));
        previousX = x;
        previousLast = bucket.last;
    }
}
