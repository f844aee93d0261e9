# Cross build for 64-bit Windows with mingw-w64; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# expat and OpenSSL, built as static libraries by scripts/install-deps from
# Debian's source packages (Debian has no mingw build of them).
if(DEFINED ENV{VELKOR_DEPS_CACHE})
  set(_velkor_deps_default "$ENV{VELKOR_DEPS_CACHE}/mingw64")
else()
  set(_velkor_deps_default /var/cache/velkor-collector/mingw64)
endif()
set(VELKOR_MINGW_DEPS "${_velkor_deps_default}" CACHE PATH
  "Folder of the mingw-w64 builds of expat and OpenSSL made by scripts/install-deps")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELKOR_MINGW_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELKOR_MINGW_DEPS}/expat ${VELKOR_MINGW_DEPS}/openssl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
