// What the C and compiler libraries of wasm32 expect from a program that
// has no files and no imports.
#include <cstdint>

extern "C" {

// The printf family still names the standard streams (vfprintf writes its
// one complaint to stderr), and so links in their write, seek and close,
// which would import three WASI functions. Defined here, they stay inside
// the module and fail as calls on a closed descriptor do; nothing in the
// converter calls them.
constexpr std::int32_t kBadDescriptor = 8;  // __WASI_ERRNO_BADF

std::int32_t __imported_wasi_snapshot_preview1_fd_write(std::int32_t, std::int32_t, std::int32_t,
                                                        std::int32_t) {
  return kBadDescriptor;
}

std::int32_t __imported_wasi_snapshot_preview1_fd_seek(std::int32_t, std::int64_t, std::int32_t,
                                                       std::int32_t) {
  return kBadDescriptor;
}

std::int32_t __imported_wasi_snapshot_preview1_fd_close(std::int32_t) { return kBadDescriptor; }

// Debian built compiler-rt's division of unsigned __int128 for wasm32 with
// stack protection, which needs a canary and a handler. With no source of
// randomness the canary is a constant; it still catches a buffer overrun by
// mistake, and the handler traps.
std::uintptr_t __stack_chk_guard = 0x5e1742a9u;

[[noreturn]] void __stack_chk_fail() { __builtin_trap(); }

}  // extern "C"
