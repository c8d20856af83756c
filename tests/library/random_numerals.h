// Random numerals over the whole grammar, for the tests of the public
// interface: signs, digits of the base and beyond it, points, exponents with
// their markers and signs, '@' suffixes (good, bad and '@0'), blanks, texts
// that overflow, and the texts "+INF", "-INF", "INF" and "ERROR".
#ifndef VELTRANE_TESTS_LIBRARY_RANDOM_NUMERALS_H
#define VELTRANE_TESTS_LIBRARY_RANDOM_NUMERALS_H

#include <cstdint>
#include <random>
#include <string>

namespace apitest {

struct RandomNumeral {
  std::string text;
  int from;  // the input base
  int to;    // the output base
};

class NumeralSource {
 public:
  explicit NumeralSource(std::uint32_t seed) : random_(seed) {}

  RandomNumeral next() {
    RandomNumeral n;
    n.from = static_cast<int>(2 + below(35));
    n.to = static_cast<int>(2 + below(35));
    switch (below(10)) {
      case 0:
        n.text = special();
        break;
      case 1:
        n.text = overflowing(n.from);
        break;
      default:
        n.text = numeral(n.from);
    }
    return n;
  }

 private:
  std::uint32_t below(std::uint32_t n) { return random_() % n; }

  char digit(int base) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    // Now and then a digit beyond the base (or no digit at all).
    if (below(40) == 0) return "!z9. _-"[below(7)];
    const int value = static_cast<int>(below(static_cast<std::uint32_t>(base)));
    return value >= 10 && below(2) == 0 ? kDigits[value + 26] : kDigits[value];
  }

  std::string digits(int base, int most) {
    std::string out;
    const int count = static_cast<int>(below(static_cast<std::uint32_t>(most) + 1));
    for (int i = 0; i < count; ++i) out += digit(base);
    return out;
  }

  std::string numeral(int base) {
    std::string out(below(4) == 0 ? below(3) : 0, ' ');
    const std::uint32_t sign = below(4);
    if (sign == 1) out += '-';
    if (sign == 2) out += '+';
    out += digits(base, 22);
    if (below(2) == 0) out += "." + digits(base, 22);
    if (below(3) == 0) {
      out += base < 15 && below(2) == 0 ? (below(2) == 0 ? 'e' : 'E') : '_';
      if (below(3) == 0) out += '-';
      if (below(3) == 0) out += '+';
      out += digits(base, 4);
    }
    if (below(6) == 0) {
      static const char* const kSuffixes[] = {"@16", "@g", "@2", "@36", "@0", "@",
                                              "@1x", "@Z", "@99", "@37", "@G6"};
      out += kSuffixes[below(sizeof kSuffixes / sizeof kSuffixes[0])];
    }
    if (below(8) == 0) out += std::string(below(3) + 1, ' ');
    return out;
  }

  std::string overflowing(int base) {
    std::string out = below(2) == 0 ? "-" : "";
    static const char kTop[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    out += '1';
    out += base < 15 ? "e" : "_";
    // Past the guard (4930 digit positions): the largest digit 14 times is
    // at least 2^14 - 1. Or in base 36, past the range above the guard.
    if (below(2) == 0)
      out += std::string(14, kTop[base - 1]);
    else
      out += "3rz@36";
    return out;
  }

  std::string special() {
    static const char* const kTexts[] = {"+INF", "-INF", "INF", "ERROR", "@0", "", "   ",
                                         "1e4930", "-1e4930", "-1_3rz@36", "0.1", "-0"};
    return kTexts[below(sizeof kTexts / sizeof kTexts[0])];
  }

  std::mt19937 random_;
};

}  // namespace apitest

#endif
