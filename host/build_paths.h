// Where this build lives: the module library it built, the source tree and the
// gauge bitmaps drawn at build time. The values are in the build's generated
// build_paths.cpp (CMakeLists.txt), so that no other object depends on the
// checkout's path and a second checkout's build reuses the compiler cache.
#pragma once

namespace host::build_paths {

extern const char* const module_path;   // build/carrier_ops.so
extern const char* const source_dir;    // the checkout
extern const char* const resource_dir;  // build/resources

}  // namespace host::build_paths

#define CARRIER_MODULE_PATH (::host::build_paths::module_path)
#define CARRIER_SOURCE_DIR (::host::build_paths::source_dir)
#define CARRIER_RESOURCE_DIR (::host::build_paths::resource_dir)
