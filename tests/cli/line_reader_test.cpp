#include "cli/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Serves a string in chunks of at most `chunk` bytes, as a pipe might.
struct Source {
  std::string data;
  std::size_t chunk;
  std::size_t position = 0;
  int reads = 0;
  int flushes = 0;
  bool failAtEnd = false;
};

long readSource(void* context, char* buffer, std::size_t size) {
  Source* s = static_cast<Source*>(context);
  ++s->reads;
  if (s->position == s->data.size() && s->failAtEnd) return -1;
  std::size_t n = std::min({size, s->chunk, s->data.size() - s->position});
  std::memcpy(buffer, s->data.data() + s->position, n);
  s->position += n;
  return static_cast<long>(n);
}

void countFlush(void* context) { ++static_cast<Source*>(context)->flushes; }

// A line as the reader reports it: its full length and the bytes it kept.
struct Line {
  std::size_t length;
  std::string kept;
  bool operator==(const Line& o) const { return length == o.length && kept == o.kept; }
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << l.length << ":\"" << l.kept << '"';
}

Line whole(const std::string& s) { return {s.size(), s}; }

const std::string kNul(1, '\0');

std::vector<Line> readAll(const std::string& data, std::size_t chunk) {
  Source source{data, chunk};
  auto reader = std::make_unique<LineReader>(readSource, countFlush, &source);
  std::vector<Line> lines;
  const char* p;
  std::size_t length;
  while (reader->next(&p, &length) == LineReader::kLine) {
    std::size_t kept = std::min(length, std::size_t{VELTRANE_MAX_NUMERAL_LENGTH} + 1);
    lines.push_back({length, std::string(p, kept)});
  }
  EXPECT_EQ(source.position, data.size());
  return lines;
}

// Every split of the input into reads must give the same lines.
const std::size_t kChunks[] = {1, 2, 3, 7, 4096, 1 << 20};

TEST(LineReader, SplitsOnLfAndDropsTheCrBeforeIt) {
  struct Case {
    std::string input;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"\n", {whole("")}},
      {"255", {whole("255")}},
      {"255\n", {whole("255")}},
      {"255\n\n", {whole("255"), whole("")}},
      {"1\n2\n3", {whole("1"), whole("2"), whole("3")}},
      {"1\r\n2\r\n", {whole("1"), whole("2")}},
      {"1\r\n\r\n2", {whole("1"), whole(""), whole("2")}},
      {"1\r\n2\n3\r\n", {whole("1"), whole("2"), whole("3")}},
      {"5\r", {whole("5")}},        // a CR LF cut short at the end of input
      {"a\rb\n", {whole("a\rb")}},  // a CR inside a line stays
      {"5\r\r\n", {whole("5\r")}},  // only one CR belongs to the line end
      {"\r\n", {whole("")}},
      {"2" + kNul + "5\n" + kNul + "\n", {whole("2" + kNul + "5"), whole(kNul)}},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : kChunks) {
      EXPECT_EQ(readAll(c.input, chunk), c.lines) << '"' << c.input << "\" chunk " << chunk;
    }
  }
}

TEST(LineReader, IgnoresAByteOrderMarkAtTheStartOnly) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Case {
    std::string input;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {bom, {}},
      {bom + "255", {whole("255")}},
      {bom + "255\r\n7\n", {whole("255"), whole("7")}},
      {bom + "\n", {whole("")}},
      {bom + "\r\n", {whole("")}},
      {bom + "\r", {whole("")}},
      {bom + bom + "1\n", {whole(bom + "1")}},                // only the first
      {"1\n" + bom + "2\n", {whole("1"), whole(bom + "2")}},  // only at the start
      {"\xEF\xBB" + std::string("1\n"),
       {whole("\xEF\xBB"
              "1")}},  // not a whole mark
      {" " + bom + "1", {whole(" " + bom + "1")}},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : kChunks) {
      EXPECT_EQ(readAll(c.input, chunk), c.lines) << '"' << c.input << "\" chunk " << chunk;
    }
  }
  // The mark does not count against the length limit of the first line.
  const std::string longest(std::size_t{VELTRANE_MAX_NUMERAL_LENGTH}, '7');
  for (std::size_t chunk : kChunks) {
    EXPECT_EQ(readAll(bom + longest + "\r\n" + longest, chunk),
              (std::vector<Line>{whole(longest), whole(longest)}));
  }
}

TEST(LineReader, LongLinesAreCountedNotKept) {
  const std::size_t max = std::size_t{VELTRANE_MAX_NUMERAL_LENGTH};
  std::string longest(max, '7');
  std::string tooLong(max + 1, '8');
  std::string huge(200000, '9');
  for (std::size_t chunk : kChunks) {
    std::vector<Line> lines =
        readAll(longest + "\r\n" + tooLong + "\n" + huge + "\r\nnext\n" + huge, chunk);
    ASSERT_EQ(lines.size(), 5u) << chunk;
    EXPECT_EQ(lines[0], whole(longest));
    EXPECT_EQ(lines[1], whole(tooLong));
    EXPECT_EQ(lines[2].length, huge.size());
    EXPECT_EQ(lines[2].kept, huge.substr(0, max + 1));
    EXPECT_EQ(lines[3], whole("next"));
    EXPECT_EQ(lines[4].length, huge.size());
  }
  // A line of max bytes whose CR is split from its LF by a read.
  std::string tooLongCr = tooLong + "\r";
  EXPECT_EQ(readAll(longest + "\r", max + 1), std::vector<Line>{whole(longest)});
  EXPECT_EQ(readAll(tooLongCr + "\n1\n", max + 2), (std::vector<Line>{whole(tooLong), whole("1")}));
}

TEST(LineReader, FlushesBeforeEveryReadAndOnlyThen) {
  Source source{"1\n2\n3\n", 4};
  auto reader = std::make_unique<LineReader>(readSource, countFlush, &source);
  const char* p;
  std::size_t length;
  ASSERT_EQ(reader->next(&p, &length), LineReader::kLine);
  EXPECT_EQ(std::string(p, length), "1");
  EXPECT_EQ(source.reads, 1);
  EXPECT_EQ(source.flushes, 1);
  // "2\n" came with the first read: no read, so no flush.
  ASSERT_EQ(reader->next(&p, &length), LineReader::kLine);
  EXPECT_EQ(std::string(p, length), "2");
  EXPECT_EQ(source.reads, 1);
  EXPECT_EQ(source.flushes, 1);
  ASSERT_EQ(reader->next(&p, &length), LineReader::kLine);
  EXPECT_EQ(std::string(p, length), "3");
  EXPECT_EQ(reader->next(&p, &length), LineReader::kEnd);
  EXPECT_EQ(source.reads, 3);
  EXPECT_EQ(source.flushes, 3);
  // The end stays the end, without reading again.
  EXPECT_EQ(reader->next(&p, &length), LineReader::kEnd);
  EXPECT_EQ(source.reads, 3);
}

TEST(LineReader, ReportsReadErrors) {
  Source source{"1\n2", 100};
  source.failAtEnd = true;
  auto reader = std::make_unique<LineReader>(readSource, nullptr, &source);
  const char* p;
  std::size_t length;
  ASSERT_EQ(reader->next(&p, &length), LineReader::kLine);
  EXPECT_EQ(std::string(p, length), "1");
  EXPECT_EQ(reader->next(&p, &length), LineReader::kReadError);
}

}  // namespace
