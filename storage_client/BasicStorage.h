#pragma once
// Values kept as plain files: one folder per group below a root folder, one file per key, the
// file's bytes being the value. The file ".default" of a group holds the name of the key that
// the key "default" stands for.
//
// Group and key names are single path components that every platform stores as given: empty
// names (except the empty key of `next`), ".", "..", names with "/", "\\", a control
// character or one of <>:"|?*, names ending with a dot or a space, and Windows device names
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension) are refused, so no operation
// reaches outside the group's folder or into a device. Writes replace files whole (temporary file and rename).
// All failures are std::runtime_error with the texts given at each operation.

#include <string>
#include <vector>

namespace Kestrel::Storage {

class BasicStorage {
public:
    virtual ~BasicStorage() = default;

    // The value of (group, key). The key "default" of a group without ".default" reads as
    // empty. "Read file error: file <path> is not exist" when there is no such file.
    std::string read(const std::string& group, const std::string& key);
    // Replaces the value; "Write file error" when it cannot be written. The key "default"
    // writes the key named by ".default"; in a group without ".default" it writes the key
    // "default" and makes ".default" name it.
    void write(const std::string& group, const std::string& key, const std::string& value);
    // Removes the value; a missing one (also the key "default" of a group without ".default")
    // is not an error. "Remove file error" if deleting fails.
    void remove(const std::string& group, const std::string& key);
    // The entry after `key` in the folder's enumeration order (the first for an empty key, empty
    // after the last); "Invalid key" when `key` is not in the group.
    std::string next(const std::string& group, const std::string& key);

protected:
    // The root folder without a trailing separator; empty makes paths relative to the current
    // folder.
    virtual std::string rootFolder() const = 0;
    // Every entry of `folder` (which ends with a separator) in enumeration order.
    virtual std::vector<std::string> listEntries(const std::string& folder) const = 0;
    // Creates `folder` (ending with a separator) if it is missing; failures are ignored.
    virtual void ensureGroupFolder(const std::string& folder) const = 0;

private:
    // Validates the group and returns its folder with a trailing separator, created if missing.
    std::string groupFolder(const std::string& group) const;
    // Path of the file of `key`, following ".default" for the key "default".
    std::string keyPath(const std::string& folder, const std::string& key) const;
};

} // namespace Kestrel::Storage
