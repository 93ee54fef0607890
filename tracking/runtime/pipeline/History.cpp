#include "tracking/runtime/pipeline/History.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace Kestrel::Orb::Tracking {

void History::add(FrameRecord frame) {
    frames_[writeIndex_] = std::move(frame);
    writeIndex_ = (writeIndex_ + 1) % capacity;
    if (count_ < capacity)
        ++count_;
}

FrameRecord& History::fromNewest(int age) {
    return const_cast<FrameRecord&>(std::as_const(*this).fromNewest(age));
}

const FrameRecord& History::fromNewest(int age) const {
    if (age < 0 || age >= count_)
        throw std::out_of_range("History::fromNewest(): age " + std::to_string(age) + " of " +
                                std::to_string(count_) + " frames");
    return frames_[(writeIndex_ - 1 - age + 2 * capacity) % capacity];
}

} // namespace Kestrel::Orb::Tracking
