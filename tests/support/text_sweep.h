// Exhaustive sweeps over short texts, for grammar tests.
#ifndef VELTRANE_TESTS_SUPPORT_TEXT_SWEEP_H
#define VELTRANE_TESTS_SUPPORT_TEXT_SWEEP_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace exttest {

// Calls visit(text) for every text of 0 to maxLength characters drawn from
// alphabet, shortest first; stops at the first fatal failure (an ASSERT_ in
// visit), so that one fault does not repeat for every later text.
template <class Visit>
void forEachText(const char* alphabet, int maxLength, Visit visit) {
  const int letters = static_cast<int>(std::strlen(alphabet));
  for (int length = 0; length <= maxLength; ++length) {
    long long total = 1;
    for (int i = 0; i < length; ++i) total *= letters;
    std::string text(length, ' ');
    for (long long n = 0; n < total; ++n) {
      long long rest = n;
      for (int i = 0; i < length; ++i, rest /= letters) text[i] = alphabet[rest % letters];
      visit(text);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace exttest

#endif
