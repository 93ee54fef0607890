#include "interface_contract/ProgramDirectory.h"

#include <QFileInfo>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Kestrel::InterfaceContract {

namespace {
// Function-local so that tests may set the folder during static initialisation.
struct FolderOverride {
    std::mutex mutex;
    QString folder;
};
FolderOverride& folderOverride() {
    static FolderOverride instance;
    return instance;
}

QString executableFolder() {
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return QFileInfo(QString::fromWCharArray(path, int(length))).absolutePath();
#else
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
#endif
}
} // namespace

QString programDirectory() {
    {
        FolderOverride& o = folderOverride();
        std::lock_guard<std::mutex> lock(o.mutex);
        if (!o.folder.isEmpty())
            return o.folder;
    }
    return executableFolder();
}

void setLibraryFolder(const QString& folder) {
    FolderOverride& o = folderOverride();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.folder = folder;
}

} // namespace Kestrel::InterfaceContract
