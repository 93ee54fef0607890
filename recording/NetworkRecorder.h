#pragma once
// Recording every running task of the device network, for the program's record button.
//
// Once installed, the recorder puts a tap on each task start of this module (through the
// task-start hook of the device-network client), so that it knows every running task. While a
// recording runs, each of them, and each task started until it stops, writes one file
//     FOLDER/STAMP_node<N>_<tracking|debug|TASK-ID>.orbrec
// A task that ends during the recording closes its file then; stop() closes the rest.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recording/TaskTap.h"

namespace Kestrel::Recording {

class NetworkRecorder {
public:
    static NetworkRecorder& instance();

    // Installs the tap on task starts; tasks started before are not seen. Idempotent.
    void install();

    // Starts a recording of every running task (and of those started until stop) into
    // `folder`, which must exist; file names begin with `stamp`. Returns the files begun.
    // Throws std::runtime_error when already recording. A file that cannot be created is
    // logged and skipped.
    std::vector<std::string> start(const std::string& folder, const std::string& stamp);
    // Ends the recording; returns every file it wrote whole, in the order they were begun.
    // Files whose writing failed (a full disk) are left out and listed by failedFiles().
    std::vector<std::string> stop();
    // The files of the last recording that could not be written to their end.
    std::vector<std::string> failedFiles() const;
    bool recording() const;
    // Tasks running now that the recorder knows of.
    size_t runningTasks() const;

private:
    NetworkRecorder() = default;
    void add(const std::shared_ptr<TaskTap>& tap);
    void beginLocked(const std::shared_ptr<TaskTap>& tap);
    void pruneLocked();

    mutable std::mutex mutex_;
    bool installed_ = false;
    bool recording_ = false;
    std::string folder_, stamp_;
    std::vector<std::weak_ptr<TaskTap>> taps_;
    // Of the current recording: every file begun, with the tap writing it.
    std::vector<std::pair<std::string, std::shared_ptr<TaskTap>>> files_;
    std::vector<std::string> failed_;  // of the last recording
};

// "tracking", "debug", or the identifier's text for other tasks.
std::string taskName(const InterfaceContract::InterfaceId& task);

} // namespace Kestrel::Recording
