#pragma once
// Marks the C-linkage entry points a library exports (its "getLibraryInterface").
#ifdef _WIN32
#define KESTREL_EXPORT extern "C" __declspec(dllexport)
#else
#define KESTREL_EXPORT extern "C" __attribute__((visibility("default")))
#endif
