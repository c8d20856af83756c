// Converts numerals with libveltrane's C++ interface and says what each gave.
//   c++ -std=c++17 convert.cpp -lveltrane -o convert && ./convert
#include <iostream>

#include <veltrane.hpp>

int main() {
  std::cout << "libveltrane " << veltrane::version() << '\n';

  veltrane::Options options;  // from base 10 to base 16
  for (const char* numeral : {"255.5", "-1e4930", "1.2.3", "12@G6"}) {
    const veltrane::Result result = veltrane::convert(numeral, options);
    std::cout << numeral << " -> " << result.text << " (" << veltrane::name(result.outcome) << ')';
    if (result.outcome == veltrane::Outcome::rejected) {
      std::cout << ": " << veltrane::name(result.rule) << " at column " << result.column;
    }
    std::cout << '\n';
  }

  // The same value in scientific notation in base 8, and its exact value.
  options.to_base = 8;
  options.scientific = true;
  std::cout << "255 -> " << veltrane::convert("255", options).text << '\n';
  const veltrane::Facts facts = veltrane::facts("0.1", {10, 10});
  if (facts.exact) {
    std::cout << "0.1 is stored as " << *facts.exact << '\n';
  }
  return 0;
}
