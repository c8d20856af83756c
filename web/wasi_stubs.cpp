// The module has no files and no imports. The C library's printf family
// still names the standard streams (vfprintf writes its one complaint to
// stderr), and so links in their write, seek and close, which would import
// three WASI functions. Defined here, they stay inside the module and fail
// as calls on a closed descriptor do; nothing in the converter calls them.
#include <cstdint>

namespace {
constexpr std::int32_t kBadDescriptor = 8;  // __WASI_ERRNO_BADF
}

extern "C" {

std::int32_t __imported_wasi_snapshot_preview1_fd_write(std::int32_t, std::int32_t, std::int32_t,
                                                        std::int32_t) {
  return kBadDescriptor;
}

std::int32_t __imported_wasi_snapshot_preview1_fd_seek(std::int32_t, std::int64_t, std::int32_t,
                                                       std::int32_t) {
  return kBadDescriptor;
}

std::int32_t __imported_wasi_snapshot_preview1_fd_close(std::int32_t) { return kBadDescriptor; }

}  // extern "C"
