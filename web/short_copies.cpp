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

namespace {

template <class Word>
inline void copyWord(unsigned char* out, const unsigned char* in) {
  Word word;
  __builtin_memcpy(&word, in, sizeof word);
  __builtin_memcpy(out, &word, sizeof word);
}

}  // namespace

// The bytes past the last whole word go as one more word, the last 8 bytes,
// which overlaps bytes already copied (with the same values: the two blocks
// do not overlap each other); fewer than 8 bytes as two words of 4, or of
// 2, or bytes, overlapping likewise.
extern "C" void* memcpy(void* __restrict to, const void* __restrict from, std::size_t n) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) copyWord<std::uint64_t>(out + i, in + i);
    copyWord<std::uint64_t>(out + n - 8, in + n - 8);
  } else if (n >= 4) {
    copyWord<std::uint32_t>(out, in);
    copyWord<std::uint32_t>(out + n - 4, in + n - 4);
  } else if (n >= 2) {
    copyWord<std::uint16_t>(out, in);
    copyWord<std::uint16_t>(out + n - 2, in + n - 2);
  } else if (n == 1) {
    *out = *in;
  }
  return to;
}
