# libprotobuf: Debian's shared library natively; for mingw the static build that
# scripts/setup.sh leaves in the cache (found through the toolchain's prefix path).
# The host protoc generates the code for every build.
if(CMAKE_CROSSCOMPILING)
  find_package(protobuf CONFIG REQUIRED)
  find_package(GTest CONFIG)
else()
  find_package(Protobuf REQUIRED)
  find_package(GTest)
endif()
find_program(KX_PROTOC protoc REQUIRED)
