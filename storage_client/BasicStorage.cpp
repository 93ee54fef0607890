#include "storage_client/BasicStorage.h"

#include <cstring>
#include <stdexcept>

#include "storage_client/FileSystem.h"

namespace Kestrel::Storage {

namespace {

constexpr const char* defaultKey = "default";
constexpr const char* defaultFile = ".default";

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Windows opens a device for these names whatever folder or extension they are given in
// ("NUL.txt" is the null device too).
bool isDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (startsWith(stem, "COM") || startsWith(stem, "LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

// A name that is one harmless path component, and one that Windows stores under that very
// name, so that a storage folder means the same on every platform: no separators, no control
// characters, none of <>:"|?* (":" would name an alternate stream of a file), no trailing dot
// or space (Windows drops them) and no device name. Names of the write's temporary files are
// refused too, so a stored key can never be mistaken for one.
bool isValidName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || std::strchr("/\\<>:\"|?*", c))
            return false;
    if (name.back() == '.' || name.back() == ' ' || isDeviceName(name))
        return false;
    return !startsWith(name, FileSystem::temporaryPrefix);
}

void requireValidKey(const std::string& key) {
    if (!isValidName(key))
        throw std::runtime_error("Invalid key name");
}

[[noreturn]] void raiseMissing(const std::string& path) {
    throw std::runtime_error("Read file error: file " + path + " is not exist");
}

} // namespace

std::string BasicStorage::groupFolder(const std::string& group) const {
    if (!isValidName(group))
        throw std::runtime_error("Invalid group name");
    const std::string root = rootFolder();
    std::string folder = root.empty() ? group : root + FileSystem::separator + group;
    folder += FileSystem::separator;
    ensureGroupFolder(folder);
    return folder;
}

std::string BasicStorage::keyPath(const std::string& folder, const std::string& key) const {
    if (key != defaultKey)
        return folder + key;
    const std::string defaultPath = folder + defaultFile;
    std::optional<std::string> name = FileSystem::readFile(defaultPath);
    if (!name)
        raiseMissing(defaultPath);
    // The file's content is data like any value: it must not lead out of the folder either.
    requireValidKey(*name);
    return folder + *name;
}

std::string BasicStorage::read(const std::string& group, const std::string& key) {
    const std::string folder = groupFolder(group);
    requireValidKey(key);
    if (key == defaultKey && !FileSystem::exists(folder + defaultFile))
        return {};
    const std::string path = keyPath(folder, key);
    std::optional<std::string> content = FileSystem::readFile(path);
    if (!content)
        raiseMissing(path);
    return *content;
}

void BasicStorage::write(const std::string& group, const std::string& key, const std::string& value) {
    const std::string folder = groupFolder(group);
    requireValidKey(key);
    if (key == defaultKey && !FileSystem::exists(folder + defaultFile)) {
        // The first default of a group is kept in the file "default", and ".default" is made
        // to name it, so that reading "default" returns what was just written. The value goes
        // first: a ".default" never names a file that was not written.
        if (!FileSystem::replaceFile(folder + defaultKey, value) ||
            !FileSystem::replaceFile(folder + defaultFile, defaultKey))
            throw std::runtime_error("Write file error");
        return;
    }
    if (!FileSystem::replaceFile(keyPath(folder, key), value))
        throw std::runtime_error("Write file error");
}

void BasicStorage::remove(const std::string& group, const std::string& key) {
    const std::string folder = groupFolder(group);
    requireValidKey(key);
    // A group without ".default" has no default entry, so there is nothing to remove.
    if (key == defaultKey && !FileSystem::exists(folder + defaultFile))
        return;
    const std::string path = keyPath(folder, key);
    if (FileSystem::exists(path) && !FileSystem::removeFile(path))
        throw std::runtime_error("Remove file error");
}

std::string BasicStorage::next(const std::string& group, const std::string& key) {
    const std::string folder = groupFolder(group);
    if (!key.empty())
        requireValidKey(key);
    std::vector<std::string> entries = listEntries(folder);
    bool found = key.empty();
    for (const std::string& entry : entries) {
        if (startsWith(entry, FileSystem::temporaryPrefix))
            continue;
        if (found)
            return entry;
        found = entry == key;
    }
    if (!found)
        throw std::runtime_error("Invalid key");
    return {};
}

} // namespace Kestrel::Storage
