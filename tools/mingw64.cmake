# Cross-builds the program for 64-bit Windows with Debian's g++-mingw-w64-x86-64, against the
# SDL 1.2, SDL_mixer 1.2 and libmikmod that tools/windows_libraries.sh built into
# build/windows/prefix. CTest runs the built tests under wine. Used by tools/run.sh windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The POSIX-threads variant: GoogleTest needs std::mutex, which the win32 variant lacks. Nothing
# of it is left for the program to import: its runtime is linked in (CMakeLists.txt).
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Found from this file's place, so that every nested configure (try_compile) sees the same.
get_filename_component(cardioid_windows_prefix "${CMAKE_CURRENT_LIST_DIR}/../build/windows/prefix"
                       ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${cardioid_windows_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must describe the Windows libraries, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "${cardioid_windows_prefix}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
