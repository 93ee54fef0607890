# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX thread variant, which has
# std::thread and std::mutex):
#     cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
# Only the parts without Qt are built (see ORB_WITH_QT in the top-level CMakeLists.txt); the
# test programs run under Wine (scripts/windows-test).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Target libraries and headers from the mingw sysroot only; programs (ninja, wine) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ and thread runtimes linked into every program and DLL, so that each runs from its
# folder with nothing beside it but the companion DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# ctest starts the test programs through Wine.
find_program(ORB_WINE NAMES wine wine64)
if(ORB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORB_WINE})
endif()
set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "Eigen is header-only: the host's copy serves the target")
