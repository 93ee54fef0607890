#pragma once
// A fresh folder below the system's temporary folder, removed with its content when the
// object goes.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace OrbTool {

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::random_device random;
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; !error && attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate = base / ("orbtool-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot create a temporary folder");
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace OrbTool
