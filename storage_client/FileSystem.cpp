#include "storage_client/FileSystem.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Kestrel::Storage::FileSystem {

namespace {

// Unique among the writers of this process; the process id keeps processes apart.
std::string temporaryPathBeside(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
    std::string::size_type cut = path.find_last_of("/\\");
    std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
#ifdef _WIN32
    unsigned long process = GetCurrentProcessId();
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return folder + temporaryPrefix + std::to_string(process) + "-" + std::to_string(++counter);
}

[[noreturn]] void raiseTooLarge(const std::string& path) {
    throw std::runtime_error("Read file error: file " + path + " is too large");
}

} // namespace

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& text) {
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

std::string narrow(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(size_t(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

bool writeAll(HANDLE file, const std::string& content) {
    const char* bytes = content.data();
    size_t left = content.size();
    while (left > 0) {
        DWORD chunk = left > (1u << 30) ? (1u << 30) : DWORD(left);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr))
            return false;
        bytes += written;
        left -= written;
    }
    return true;
}

// Renames `from` over `to`. A reader that opened `to` without sharing delete (another program)
// blocks the replace while it holds the file, so such a refusal is retried for up to a second.
bool moveOver(const std::wstring& from, const std::wstring& to) {
    const DWORD target = GetFileAttributesW(to.c_str());
    if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100)
            return false;
        Sleep(10);
    }
}

} // namespace

std::string localAppDataFolder() {
    PWSTR folder = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder)))
        result = narrow(folder);
    CoTaskMemFree(folder);
    return result;
}

bool exists(const std::string& path) { return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::optional<std::string> readFile(const std::string& path) {
    // Sharing delete lets a writer rename a new value over the file while it is being read.
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    // Only files on disk: a pipe or a device opened by name would block or never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return std::nullopt;
    }
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && (unsigned long long)size.QuadPart > maximumFileSize) {
        CloseHandle(file);
        raiseTooLarge(path);
    }
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return content;
}

bool replaceFile(const std::string& path, const std::string& content) {
    const std::wstring temporary = widen(temporaryPathBeside(path));
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = writeAll(file, content);
    ok = CloseHandle(file) && ok;
    ok = ok && moveOver(temporary, widen(path));
    if (!ok)
        DeleteFileW(temporary.c_str());
    return ok;
}

bool removeFile(const std::string& path) { return DeleteFileW(widen(path).c_str()) != 0; }

bool makeFolder(const std::string& path) {
    return CreateDirectoryW(widen(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(widen(pattern).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = narrow(entry.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

#else

std::string localAppDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0])
        return std::string(home) + "/.local/share";
    return {};
}

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::string> readFile(const std::string& path) {
    // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer; the
    // type check below refuses it. Reads of a regular file never block anyway.
    int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    struct stat info;
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        return std::nullopt;
    }
    if ((unsigned long long)info.st_size > maximumFileSize) {
        ::close(file);
        raiseTooLarge(path);
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(file);
            return std::nullopt;
        }
        if (got == 0)
            break;
        content.append(buffer, size_t(got));
    }
    ::close(file);
    return content;
}

bool replaceFile(const std::string& path, const std::string& content) {
    const std::string temporary = temporaryPathBeside(path);
    int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0)
        return false;
    bool ok = true;
    const char* bytes = content.data();
    size_t left = content.size();
    while (ok && left > 0) {
        ssize_t written = ::write(file, bytes, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ok = false;
            break;
        }
        bytes += written;
        left -= size_t(written);
    }
    ok = (::close(file) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool makeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory)
        return names;
    while (dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(directory);
    return names;
}

#endif

void makeFolders(const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    if (folder.empty() || exists(folder + separator))
        return;
    // Parent first: walk back to the last separator.
    std::string::size_type cut = folder.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0)
        makeFolders(folder.substr(0, cut));
    makeFolder(folder);
}

} // namespace Kestrel::Storage::FileSystem
