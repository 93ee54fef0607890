#pragma once
// Setting a variable of this process's environment (read by the libraries it loads later).

#include <cstdlib>
#include <string>

namespace OrbTool {

inline void setEnvironmentVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

} // namespace OrbTool
