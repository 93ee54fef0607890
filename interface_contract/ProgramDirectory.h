#pragma once
#include <QString>

namespace Kestrel::InterfaceContract {

// Folder of the running program (searched first for companion libraries). Tests may point the
// search elsewhere with setLibraryFolder; an empty text restores the program's folder.
QString programDirectory();
void setLibraryFolder(const QString& folder);

} // namespace Kestrel::InterfaceContract
