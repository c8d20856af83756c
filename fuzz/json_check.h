// A strict reader of JSON text (RFC 8259), for the checks of veltrane-cli's
// --json lines: true only for one complete value with optional white space
// around it, strings of well-formed UTF-8 without raw control characters,
// valid escapes, and numbers in the JSON grammar (no NaN, no leading zeros,
// no '+').
#ifndef VELTRANE_FUZZ_JSON_CHECK_H
#define VELTRANE_FUZZ_JSON_CHECK_H

#include <cstddef>
#include <cstring>

namespace fuzzcheck {

class JsonReader {
 public:
  JsonReader(const char* text, std::size_t length) : p_(text), end_(text + length) {}

  // The whole text is exactly one value.
  bool document() {
    space();
    if (!value(0)) return false;
    space();
    return p_ == end_;
  }

  // The whole text is one JSON number.
  bool numberOnly() { return number() && p_ == end_; }

 private:
  static constexpr int kMaxDepth = 64;

  bool at(char c) const { return p_ < end_ && *p_ == c; }
  bool eat(char c) {
    if (!at(c)) return false;
    ++p_;
    return true;
  }
  void space() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
  }
  bool digit() const { return p_ < end_ && *p_ >= '0' && *p_ <= '9'; }
  bool word(const char* w) {
    const std::size_t n = std::strlen(w);
    if (static_cast<std::size_t>(end_ - p_) < n || std::memcmp(p_, w, n) != 0) return false;
    p_ += n;
    return true;
  }

  bool value(int depth) {
    if (depth > kMaxDepth || p_ == end_) return false;
    switch (*p_) {
      case '{':
        return object(depth);
      case '[':
        return array(depth);
      case '"':
        return string();
      case 't':
        return word("true");
      case 'f':
        return word("false");
      case 'n':
        return word("null");
      default:
        return number();
    }
  }

  bool object(int depth) {
    eat('{');
    space();
    if (eat('}')) return true;
    for (;;) {
      space();
      if (!string()) return false;
      space();
      if (!eat(':')) return false;
      space();
      if (!value(depth + 1)) return false;
      space();
      if (eat('}')) return true;
      if (!eat(',')) return false;
    }
  }

  bool array(int depth) {
    eat('[');
    space();
    if (eat(']')) return true;
    for (;;) {
      space();
      if (!value(depth + 1)) return false;
      space();
      if (eat(']')) return true;
      if (!eat(',')) return false;
    }
  }

  bool number() {
    eat('-');
    if (eat('0')) {
      // no leading zeros
    } else if (digit()) {
      while (digit()) ++p_;
    } else {
      return false;
    }
    if (eat('.')) {
      if (!digit()) return false;
      while (digit()) ++p_;
    }
    if (eat('e') || eat('E')) {
      if (!eat('-')) eat('+');
      if (!digit()) return false;
      while (digit()) ++p_;
    }
    return true;
  }

  static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool string() {
    if (!eat('"')) return false;
    while (p_ < end_) {
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        ++p_;
        if (p_ == end_) return false;
        const char e = *p_++;
        if (e == 'u') {
          for (int i = 0; i < 4; ++i)
            if (p_ == end_ || hexValue(*p_++) < 0) return false;
        } else if (std::strchr("\"\\/bfnrt", e) == nullptr || e == '\0') {
          return false;
        }
        continue;
      }
      if (!utf8()) return false;
    }
    return false;
  }

  // One well-formed UTF-8 sequence.
  bool utf8() {
    const unsigned char c = static_cast<unsigned char>(*p_);
    int n;
    unsigned long code;
    if (c < 0x80) {
      ++p_;
      return true;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      code = c & 0x07u;
    } else {
      return false;
    }
    ++p_;
    for (int i = 0; i < n; ++i) {
      if (p_ == end_ || (static_cast<unsigned char>(*p_) & 0xC0) != 0x80) return false;
      code = (code << 6) | (static_cast<unsigned char>(*p_++) & 0x3Fu);
    }
    if ((n == 2 && code < 0x800) || (n == 3 && code < 0x10000)) return false;
    return !(code >= 0xD800 && code <= 0xDFFF) && code <= 0x10FFFF;
  }

  const char* p_;
  const char* end_;
};

inline bool isJsonDocument(const char* text, std::size_t length) {
  return JsonReader(text, length).document();
}

inline bool isJsonNumber(const char* text) {
  return JsonReader(text, std::strlen(text)).numberOnly();
}

}  // namespace fuzzcheck

#endif
