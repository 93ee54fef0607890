#pragma once
// A fresh folder in the system's temporary folder, removed with everything in it at the end of
// the test. Paths are given with "/" and handed out with the platform's separator, the form
// in which the storage names them.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace StorageTest {

// `path` with the platform's separator ("\\" on Windows) in place of "/".
inline std::string native(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("orb-storage-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error))
                path_ = native(candidate.string());
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return native(path_ + "/" + name); }

private:
    std::string path_;
};

inline std::string fileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void putFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// Every path below `folder`, relative to it, sorted.
inline std::string treeOf(const std::string& folder) {
    std::string listing;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(std::filesystem::relative(entry.path(), folder).generic_string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        listing += name + "\n";
    return listing;
}

} // namespace StorageTest
