#pragma once
#include <string>

#ifdef QT_CORE_LIB
#include <QString>
#endif

namespace Kestrel::InterfaceContract {

// Folder of the running program (searched first for companion libraries), UTF-8. Tests may
// point the search elsewhere with setLibraryFolder; an empty text restores the program's folder.
std::string programDirectory();
void setLibraryFolder(const std::string& folder);
inline void setLibraryFolder(const char* folder) { setLibraryFolder(std::string(folder ? folder : "")); }
#ifdef QT_CORE_LIB
inline void setLibraryFolder(const QString& folder) { setLibraryFolder(folder.toStdString()); }
#endif

} // namespace Kestrel::InterfaceContract
