# Cross-builds the console program and its tests for 64-bit Windows with
# Debian's mingw-w64 (the posix-threads variant, for std::thread):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DEIT_BUILD_GUI=OFF
# Test programs run under wine (ctest uses it as the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EIT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${EIT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EIT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${EIT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${EIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs no DLL of the compiler's beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(EIT_WINE wine)
if(EIT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${EIT_WINE})
endif()
