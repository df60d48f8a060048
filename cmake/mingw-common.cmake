# Shared part of the two mingw toolchain files; KX_TRIPLET is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KX_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_TRIPLET}-windres)

if(DEFINED ENV{VELHALYX_CACHE})
  set(KX_CACHE "$ENV{VELHALYX_CACHE}")
else()
  set(KX_CACHE "$ENV{HOME}/.cache/velhalyx")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${KX_TRIPLET}
  "${KX_CACHE}/protobuf-3.21.12-${KX_TRIPLET}" "${KX_CACHE}/googletest-${KX_TRIPLET}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained binaries: no libstdc++, libgcc or winpthread DLL at run time, and nothing
# from static archives in a DLL's export table.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")
