# The MSVC side of the Windows builds: games built with MSVC call the C++ classes under MSVC's
# name decoration. scripts/msvc-abi.py derives those names from an MSVC-ABI compile of the public
# header (clang for <arch>-pc-windows-msvc, then llvm-nm), writes what the DLL is linked with
# and checks the built DLL. Included by the top-level CMakeLists.txt for Windows builds only.

find_program(KX_PYTHON NAMES python3 REQUIRED DOC "Python 3, for scripts/msvc-abi.py")
find_program(KX_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14 REQUIRED
             DOC "clang, for MSVC-ABI compiles (Debian package clang)")
find_program(KX_LLVM_NM NAMES llvm-nm llvm-nm-16 llvm-nm-15 llvm-nm-14 REQUIRED
             DOC "llvm-nm (Debian package llvm)")
find_program(KX_LLVM_UNDNAME NAMES llvm-undname llvm-undname-16 llvm-undname-15 llvm-undname-14
             REQUIRED DOC "llvm-undname (Debian package llvm)")
find_program(KX_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
             REQUIRED DOC "llvm-dlltool, for MSVC import libraries (Debian package llvm)")
find_program(KX_LLD_LINK NAMES lld-link lld-link-16 lld-link-15 lld-link-14 REQUIRED
             DOC "lld-link, MSVC's linker interface (Debian package lld)")

set(KX_MSVC_ABI_TOOL "${PROJECT_SOURCE_DIR}/scripts/msvc-abi.py")
set(KX_EXPORT_LIST "${PROJECT_SOURCE_DIR}/scripts/expected-exports.txt")
# Where the derived files go: msvc-exports.txt (the decorated names), msvc-exports.tsv (what each
# is exported as), msvc-exports.def (linked into the DLL), MsvcConstructors.cpp (the constructor
# forwarders) and velhalyxapi_r2.def (every export, for the MSVC import library).
set(KX_MSVC_ABI_DIR "${CMAKE_BINARY_DIR}/msvc-abi")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KX_MSVC_ARCH i686)
  set(KX_MSVC_MACHINE x86)
  set(KX_DLLTOOL_MACHINE i386)
else()
  set(KX_MSVC_ARCH x86_64)
  set(KX_MSVC_MACHINE x64)
  set(KX_DLLTOOL_MACHINE i386:x86-64)
endif()
set(KX_MSVC_TARGET "${KX_MSVC_ARCH}-pc-windows-msvc")

# kx_msvc_class_exports(<dll target>)
# Exports the members of the classes of scripts/expected-exports.txt under their MSVC-decorated
# names too: aliases of GCC's members, and forwarders for the constructors. After linking, the
# build checks the DLL's code against MSVC's calling convention (a disassembly check, and first
# the check's own self-test on i686).
function(kx_msvc_class_exports target)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/include/*.h")
  set(dir "${KX_MSVC_ABI_DIR}")
  set(outputs "${dir}/msvc-exports.txt" "${dir}/msvc-exports.tsv" "${dir}/msvc-exports.def"
              "${dir}/MsvcConstructors.cpp" "${dir}/velhalyxapi_r2.def")
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND "${KX_PYTHON}" "${KX_MSVC_ABI_TOOL}" derive --arch ${KX_MSVC_ARCH}
            --include "${PROJECT_SOURCE_DIR}/include" --exports "${KX_EXPORT_LIST}"
            --clang "${KX_CLANGXX}" --llvm-nm "${KX_LLVM_NM}" --cxx "${CMAKE_CXX_COMPILER}"
            --out "${dir}"
    DEPENDS "${KX_MSVC_ABI_TOOL}" "${KX_EXPORT_LIST}" ${headers}
    COMMENT "Deriving the MSVC-decorated exports from an MSVC-ABI compile of the public header"
    VERBATIM)
  add_custom_target(${target}_msvc_exports DEPENDS ${outputs})
  target_sources(${target} PRIVATE "${dir}/MsvcConstructors.cpp" "${dir}/msvc-exports.def")
  add_dependencies(${target} ${target}_msvc_exports)

  set(checks "${dir}/convention.checked")
  set(self_test_command "")
  if(KX_MSVC_ARCH STREQUAL "i686")
    list(APPEND checks "${dir}/self-test.checked")
    add_custom_command(
      OUTPUT "${dir}/self-test.checked"
      COMMAND "${KX_PYTHON}" "${KX_MSVC_ABI_TOOL}" self-test --cxx "${CMAKE_CXX_COMPILER}"
              --objdump "${CMAKE_OBJDUMP}" --nm "${CMAKE_NM}" --stamp "${dir}/self-test.checked"
      DEPENDS "${KX_MSVC_ABI_TOOL}"
      COMMENT "Self-test of the calling convention check (probes that break __thiscall)"
      VERBATIM)
  endif()
  add_custom_command(
    OUTPUT "${dir}/convention.checked"
    COMMAND "${KX_PYTHON}" "${KX_MSVC_ABI_TOOL}" check-convention "$<TARGET_FILE:${target}>"
            --objdump "${CMAKE_OBJDUMP}" --llvm-undname "${KX_LLVM_UNDNAME}"
            --nm "${CMAKE_NM}" --stamp "${dir}/convention.checked"
    DEPENDS ${target} "${KX_MSVC_ABI_TOOL}"
    COMMENT "Checking the decorated exports of ${target} against MSVC's calling convention"
    VERBATIM)
  add_custom_target(${target}_msvc_convention ALL DEPENDS ${checks})
endfunction()

# kx_msvc_import_library(<output .lib> <.def>)
# An import library in the short format of MSVC's own tools (llvm-dlltool): the members GNU
# dlltool writes carry no safe-exception-handler mark, so a 32-bit link with /SAFESEH (Visual
# Studio's default) refuses them. On i386, C names get MSVC's leading underscore (_Name,
# __imp__Name) while the DLL is asked for the plain name; C++ decorated names stay as they are.
function(kx_msvc_import_library lib def)
  get_filename_component(directory "${lib}" DIRECTORY)
  add_custom_command(
    OUTPUT "${lib}"
    COMMAND "${KX_LLVM_DLLTOOL}" -m ${KX_DLLTOOL_MACHINE} -d "${def}" -l "${lib}"
    WORKING_DIRECTORY "${directory}"
    DEPENDS "${def}"
    COMMENT "MSVC import library ${lib}"
    VERBATIM)
endfunction()
