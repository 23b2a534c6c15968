# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads, so
# std::thread and std::mutex work). Everything is linked statically: the
# programs run on a Windows machine with nothing installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QT40_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QT40_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QT40_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QT40_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QT40_MINGW_PREFIX})
# A prebuilt Qt for MinGW, unpacked into the build folder, is a second root.
if(QT40_MINGW_QT_DIR)
    list(APPEND CMAKE_FIND_ROOT_PATH ${QT40_MINGW_QT_DIR})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine where it is installed.
find_program(QT40_WINE wine)
if(QT40_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QT40_WINE})
endif()
