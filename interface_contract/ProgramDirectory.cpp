#include "interface_contract/ProgramDirectory.h"

#include <QFileInfo>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Kestrel::InterfaceContract {

namespace {
std::mutex folderMutex;
QString folderOverride;

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
        std::lock_guard<std::mutex> lock(folderMutex);
        if (!folderOverride.isEmpty())
            return folderOverride;
    }
    return executableFolder();
}

void setLibraryFolder(const QString& folder) {
    std::lock_guard<std::mutex> lock(folderMutex);
    folderOverride = folder;
}

} // namespace Kestrel::InterfaceContract
