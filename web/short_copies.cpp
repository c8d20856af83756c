// The C library's memcpy, for the module: wasi-libc's goes 4 bytes a step
// once it has aligned its pointers, which for the copies of a conversion
// (the digits of a text, tens of bytes, into place) costs more than the
// copy itself. WebAssembly loads and stores need no alignment, so this one
// goes 8 bytes a step from the start. Linked ahead of the C library, it
// takes the place of its memcpy; compiled apart from link-time
// optimisation (which treats memcpy as a builtin of its own) and without
// builtins, so that its loops stay loops and never call memcpy.
#include <cstddef>
#include <cstdint>

extern "C" void* memcpy(void* __restrict to, const void* __restrict from, std::size_t n) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  for (; n >= 8; n -= 8, in += 8, out += 8) {
    std::uint64_t word;
    __builtin_memcpy(&word, in, 8);
    __builtin_memcpy(out, &word, 8);
  }
  for (; n > 0; --n) *out++ = *in++;
  return to;
}
