#include "tracking/runtime/device_tasks/OrbDebugCotask.h"

#include <stdexcept>
#include <utility>

#include "interface_contract/DebugLog.h"
#include "interface_contract/Marshal.h"
#include "tracking/runtime/device_tasks/OrbImage.h"

namespace Kestrel::Orb::Debug {

using InterfaceContract::check;
using InterfaceContract::guard;

namespace {

template <class T>
T& required(T* pointer, const char* what) {
    if (!pointer)
        throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, std::string(what) + ": null argument");
    return *pointer;
}

} // namespace

OrbDebugCotask::OrbDebugCotask(std::chrono::milliseconds answerTimeout) : answerTimeout_(answerTimeout) {}

void OrbDebugCotask::endTask() {
    releaseLink();
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        ended_ = true;
    }
    answerChanged_.notify_all();
}

template <class Send, class Take>
void OrbDebugCotask::request(Send&& send, Take&& take) {
    std::lock_guard<std::mutex> serial(requestMutex_);
    const auto deadline = std::chrono::steady_clock::now() + answerTimeout_;
    std::unique_lock<std::mutex> lock(answerMutex_);
    // The device is still busy with the answer of a request that gave up: wait for its end
    // within this request's own time; an answer that does not end by then counts as lost.
    if (lateAnswer_ && !answerChanged_.wait_until(lock, deadline, [&] { return !lateAnswer_ || ended_; })) {
        lateAnswer_ = false;
        throw std::runtime_error("Device did not answer");
    }
    answered_ = false;
    inFlight_ = true;
    lock.unlock();
    try {
        auto link = this->link();
        check(link.get(), send(*link.get()));
    } catch (...) {
        lock.lock();
        inFlight_ = false;
        throw;
    }
    lock.lock();
    const bool answered = answerChanged_.wait_until(lock, deadline, [&] { return answered_ || ended_; });
    inFlight_ = false;
    take();
    if (!answered) {
        lateAnswer_ = true;
        throw std::runtime_error("Device did not answer");
    }
}

void OrbDebugCotask::complete() {
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        if (lateAnswer_)
            lateAnswer_ = false;  // the late answer is over
        else if (inFlight_)
            answered_ = true;
    }
    answerChanged_.notify_all();
}

ResultCode OrbDebugCotask::setExposure(int32_t value) {
    return guard([&] {
        const ConfigRecord record{ConfigType::exposure, 0, value};
        auto link = this->link();
        check(link.get(), link->setConfig(&record));
    });
}

ResultCode OrbDebugCotask::getReservedInt(int32_t* zero) {
    return guard([&] { required(zero, "getReservedInt") = 0; });
}

ResultCode OrbDebugCotask::getReservedFloat(float* one) {
    return guard([&] { required(one, "getReservedFloat") = 1.0f; });
}

ResultCode OrbDebugCotask::getConfig(uint32_t type, uint32_t address, int32_t* value) {
    return guard([&] {
        int32_t& result = required(value, "getConfig");
        const ConfigRecord record{type, address, 0};
        request([&](DebugTask::IHostToDevice& link) { return link.requestConfig(&record); },
                [&] { result = pendingValue_; });
    });
}

ResultCode OrbDebugCotask::setConfig(const ConfigRecord* record) {
    return guard([&] {
        const ConfigRecord& r = required(record, "setConfig");
        auto link = this->link();
        check(link.get(), link->setConfig(&r));
    });
}

ResultCode OrbDebugCotask::getImage(void** image) {
    return guard([&] {
        void*& result = required(image, "getImage");
        result = nullptr;
        std::string stream;
        request([](DebugTask::IHostToDevice& link) { return link.requestImage(); },
                [&] {
                    stream.swap(imageStream_);
                    imageStreamOverflowed_ = false;
                });
        auto decoded = OrbImage::fromStream(stream, 0, 0, OrbImage::cameraWidth, OrbImage::cameraHeight);
        result = decoded.queryChecked<IImage>().detach();
    });
}

ResultCode OrbDebugCotask::getPoints(OutArray* points) {
    return guard([&] {
        if (!points)
            throw InterfaceContract::Exception(InterfaceContract::E_POINTER_CODE, "getPoints: null argument");
        std::vector<DebugPoint> taken;
        request([](DebugTask::IHostToDevice& link) { return link.requestPoints(); },
                [&] {
                    taken.swap(points_);
                    pointsOverflowed_ = false;
                });
        InterfaceContract::writeOut(points, taken);
    });
}

ResultCode OrbDebugCotask::configReceived(const ConfigRecord* record) {
    return guard([&] {
        const ConfigRecord r = required(record, "configReceived");
        {
            std::lock_guard<std::mutex> lock(answerMutex_);
            if (!dropping())
                pendingValue_ = r.value;
        }
        logLine() << "config received: type:" << r.type << " value:" << r.value << " address:" << r.address;
    });
}

void OrbDebugCotask::appendImageBytes(const uint8_t* bytes, uint32_t count) {
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        if (dropping())
            return;
        if (imageStream_.size() + count <= maximumImageStream)
            imageStream_.append(reinterpret_cast<const char*>(bytes), count);
        else
            dropped = !std::exchange(imageStreamOverflowed_, true);
    }
    if (dropped)
        logLine() << "Debug task: image stream beyond " << maximumImageStream << " bytes dropped";
}

ResultCode OrbDebugCotask::imageChunk(const uint8_t* bytes63) {
    return guard([&] { appendImageBytes(&required(bytes63, "imageChunk"), DebugTask::imageChunkSize); });
}

ResultCode OrbDebugCotask::imageFinalChunk(const uint8_t* bytes, uint32_t count) {
    return guard([&] {
        if (count > 0)
            appendImageBytes(&required(bytes, "imageFinalChunk"), count);
        complete();
    });
}

ResultCode OrbDebugCotask::pointReceived(const DebugPoint* point) {
    return guard([&] {
        const DebugPoint p = required(point, "pointReceived");
        bool dropped = false;
        {
            std::lock_guard<std::mutex> lock(answerMutex_);
            if (dropping())
                return;
            if (points_.size() < maximumPoints)
                points_.push_back(p);
            else
                dropped = !std::exchange(pointsOverflowed_, true);
        }
        if (dropped)
            logLine() << "Debug task: points beyond " << maximumPoints << " dropped";
    });
}

ResultCode OrbDebugCotask::completed() {
    return guard([&] { complete(); });
}

} // namespace Kestrel::Orb::Debug
