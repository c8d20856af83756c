// Any thread may call any function at any time: eight threads converting the
// same numerals, each in an order of its own, give exactly the results of
// one thread. Overflowing numerals are mixed in, so that state kept between
// a parse and its formatting would show; the tsan preset runs this under
// ThreadSanitizer with the library instrumented.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/library/random_numerals.h"
#include "veltrane.h"

namespace {

struct Results {
  int code = 0;
  std::string text;       // plain, or scientific for odd numerals
  std::string roundTrip;  // with VELTRANE_ROUND_TRIP
  std::string json;       // every fourth numeral
  std::string message;
  unsigned char stored[VELTRANE_STORED_SIZE] = {};
  int parsed = 0;

  bool operator==(const Results& o) const {
    return code == o.code && text == o.text && roundTrip == o.roundTrip && json == o.json &&
           message == o.message && parsed == o.parsed &&
           std::memcmp(stored, o.stored, sizeof stored) == 0;
  }
};

Results convert(const apitest::RandomNumeral& n, std::size_t index) {
  Results r;
  const unsigned flags = index % 2 == 1 ? VELTRANE_SCIENTIFIC : 0u;
  const char* text = n.text.data();
  const std::size_t length = n.text.size();
  std::vector<char> out(VELTRANE_REPORT_SIZE);
  r.code = veltrane_convert(text, length, n.from, n.to, flags, out.data(), out.size());
  r.text = out.data();
  veltrane_convert(text, length, n.from, n.to, flags | VELTRANE_ROUND_TRIP, out.data(),
                   out.size());
  r.roundTrip = out.data();
  if (index % 4 == 0) {
    veltrane_json(text, length, n.from, n.to, flags, out.data(), out.size());
    r.json = out.data();
  }
  veltrane_message(text, length, n.from, n.to, flags, out.data(), out.size());
  r.message = out.data();
  r.parsed = veltrane_parse(text, length, n.from, r.stored);
  return r;
}

TEST(ApiThreads, EightThreadsInTheirOwnOrdersGiveTheSerialResults) {
  apitest::NumeralSource source(20261209);
  std::vector<apitest::RandomNumeral> numerals;
#if defined(__SANITIZE_THREAD__)
  const std::size_t count = 400;
#else
  const std::size_t count = 1500;
#endif
  for (std::size_t i = 0; i < count; ++i) numerals.push_back(source.next());

  std::vector<Results> serial;
  int overflows = 0;
  for (std::size_t i = 0; i < numerals.size(); ++i) {
    serial.push_back(convert(numerals[i], i));
    overflows += serial.back().code == VELTRANE_OVERFLOW;
  }
  ASSERT_GT(overflows, static_cast<int>(count / 20));  // enough of them to matter

  constexpr int kThreads = 8;
  std::vector<std::vector<Results>> found(kThreads, std::vector<Results>(numerals.size()));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<std::size_t> order(numerals.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      // Thread 0 goes forwards, thread 1 backwards, the others shuffled.
      if (t == 1) std::reverse(order.begin(), order.end());
      if (t >= 2) std::shuffle(order.begin(), order.end(), std::mt19937(t));
      for (std::size_t i : order) found[t][i] = convert(numerals[i], i);
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t i = 0; i < numerals.size(); ++i) {
      ASSERT_TRUE(found[t][i] == serial[i])
          << "thread " << t << ", \"" << numerals[i].text << "\" from " << numerals[i].from
          << " to " << numerals[i].to << ": \"" << found[t][i].text << "\" against \""
          << serial[i].text << "\"";
    }
  }
}

}  // namespace
