// Keeps a caller's x87 control word across a call that computes: the
// operations put the unit into their own mode (truncating, 64-bit
// precision), and a program that calls the library must not find its own
// long double arithmetic rounding differently afterwards.
#ifndef VELTRANE_NUMERIC_X87_CALLER_MODE_H
#define VELTRANE_NUMERIC_X87_CALLER_MODE_H

#include <cstdint>

#include "numeric/x87_instructions.h"

// Saves the calling thread's x87 control word when made and loads it back
// when destroyed, where the work in between changed it. Costs two `fnstcw`
// and a comparison where the word is the operations' own already (a caller
// that computes in the same mode). Where it loads the caller's word back,
// it clears the exception flags first: the operations raise some (an
// inexact result, an underflow) under their own word, which masks them
// all, and one the caller's word unmasks would trap at the caller's next
// x87 instruction. (The operations' `fninit` has cleared the caller's own
// flags already.) Nothing in a build on the software instructions.
class X87CallerMode {
 public:
#if VELTRANE_COMPUTES_ON_UNIT
  X87CallerMode() { __asm__ volatile("fnstcw %0" : "=m"(saved_)); }
  ~X87CallerMode() {
    std::uint16_t now;
    __asm__ volatile("fnstcw %0" : "=m"(now));
    if (now != saved_) __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(saved_));
  }
#else
  X87CallerMode() {}
#endif
  X87CallerMode(const X87CallerMode&) = delete;
  X87CallerMode& operator=(const X87CallerMode&) = delete;

 private:
#if VELTRANE_COMPUTES_ON_UNIT
  std::uint16_t saved_;
#endif
};

#endif
