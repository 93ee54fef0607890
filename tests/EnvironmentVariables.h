#pragma once
// setenv and unsetenv for the tests on Windows, where the C runtime has _putenv_s instead (an
// empty value removes the variable there).

#include <cstdlib>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
