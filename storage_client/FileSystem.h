#pragma once
// The few file-system calls of the plain-file storage, with a Windows branch (UTF-16 paths,
// backslashes) and a portable POSIX branch. Paths are UTF-8 throughout.

#include <optional>
#include <string>
#include <vector>

namespace Kestrel::Storage::FileSystem {

#ifdef _WIN32
constexpr char separator = '\\';
#else
constexpr char separator = '/';
#endif

// Names of the temporary files that writes go through; they never show in a listing.
constexpr const char* temporaryPrefix = ".kestrel-tmp-";

// The user's per-user application-data folder without a trailing separator, or empty when it
// cannot be determined. Windows: the known folder LocalAppData (created if missing);
// elsewhere $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
std::string localAppDataFolder();

bool exists(const std::string& path);
// Values cross the library's interface with a 32-bit length; a larger file would arrive cut.
constexpr unsigned long long maximumFileSize = 0xFFFFFFFFull;

// The whole content of a regular file, or nothing when it does not exist, cannot be read or is
// anything but a regular file (a folder, a FIFO, a device), which is never waited on.
// A file above maximumFileSize raises "Read file error: file <path> is too large".
std::optional<std::string> readFile(const std::string& path);
// Writes `content` to a temporary file beside `path` and renames it over `path`, so readers see
// the old or the new content, never a part. False on any failure (nothing is left behind).
bool replaceFile(const std::string& path, const std::string& content);
bool removeFile(const std::string& path);
// Creates one folder; true if it exists afterwards.
bool makeFolder(const std::string& path);
// Creates the folder and every missing parent.
void makeFolders(const std::string& path);
// Every entry name of `folder` in the file system's enumeration order, without "." and "..".
std::vector<std::string> listFolder(const std::string& folder);

} // namespace Kestrel::Storage::FileSystem
