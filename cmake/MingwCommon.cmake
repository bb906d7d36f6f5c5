# Shared part of the mingw-w64 toolchain files; QUORVANE_MINGW_TRIPLET names the target.
#
# The win32 thread variant of the compiler (Debian's default alternative) is used: the posix
# variant would make every binary import libwinpthread-1.dll. The GCC and C++ runtimes are linked
# statically, so the modules and test programs import only system DLLs.
set(_triplet ${QUORVANE_MINGW_TRIPLET})
find_program(CMAKE_C_COMPILER NAMES ${_triplet}-gcc-win32 ${_triplet}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_triplet}-g++-win32 ${_triplet}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_triplet}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Deterministic float maths as on Linux; the 32-bit target keeps floats in SSE2 registers.
set(_flags "-ffp-contract=off -fno-fast-math")
if(_triplet MATCHES "^i686")
    string(APPEND _flags " -msse2 -mfpmath=sse")
endif()
set(CMAKE_C_FLAGS_INIT "${_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_flags}")
# Released modules are optimised as the Linux module is (the platform's default would be -O3).
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of release builds")
foreach(_kind EXE SHARED MODULE)
    set(CMAKE_${_kind}_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
endforeach()

# The runtime's static parts bring debug sections; released modules carry none.
set(CMAKE_MODULE_LINKER_FLAGS_RELEASE_INIT "-s")
