// sscanf-compatible scanning of %d, %f and %s without locale or allocation.
#include "formats/LineScan.h"

#include <cassert>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "formats/LineReader.h"

namespace tarn::formats {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f');
}

// Matches `word` case-insensitively at p.
bool MatchWord(const char* p, const char* end, const char* word) {
  std::size_t n = std::strlen(word);
  if (static_cast<std::size_t>(end - p) < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (Lower(p[i]) != word[i]) return false;
  return true;
}

// strtof with '.' as the decimal point whatever the process locale (a
// toolkit may have set one with a decimal comma): the point is handed to
// strtof as the locale spells it. The text holds only digits, signs,
// exponent letters and one '.', so nothing else can be misread.
float StrtofC(const char* begin, const char* end) {
  const char* point = std::localeconv()->decimal_point;
  const std::size_t pointLength = point != nullptr ? std::strlen(point) : 0;
  char text[LineReader::kLineBuffer + 16];
  std::size_t n = 0;
  for (const char* p = begin; p < end && n + 8 < sizeof text; ++p) {
    if (*p == '.' && pointLength > 0 && pointLength < 8) {
      std::memcpy(text + n, point, pointLength);
      n += pointLength;
    } else {
      text[n++] = *p;
    }
  }
  text[n] = '\0';
  return std::strtof(text, nullptr);
}

}  // namespace

bool ScanInt(const char*& p, const char* end, int& value) {
  const char* q = p;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
  if (q >= end || !IsDigit(*q)) {
    p = q;
    return false;
  }
  // strtol into a 64-bit long saturates; the int then takes the low bits.
  std::uint64_t magnitude = 0;
  bool overflow = false;
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  // Eighteen digits cannot pass the limit: they go without a check.
  for (int n = 0; n < 18 && q < end && IsDigit(*q); ++n, ++q) magnitude = magnitude * 10 + static_cast<unsigned>(*q - '0');
  for (; q < end && IsDigit(*q); ++q) {
    if (overflow) continue;
    std::uint64_t next = magnitude * 10 + static_cast<unsigned>(*q - '0');
    if (magnitude > (limit - static_cast<unsigned>(*q - '0')) / 10) {
      overflow = true;
      magnitude = limit;
    } else {
      magnitude = next;
    }
  }
  std::uint64_t bits = negative ? (~magnitude + 1) : magnitude;
  value = static_cast<int>(static_cast<std::uint32_t>(bits));
  p = q;
  return true;
}

namespace {

// "nan", "inf" or "infinity" (any case) at q, which holds an 'n' or an 'i'.
// q moves past what sscanf consumes, also when the word fails.
bool ScanSpecialWord(const char*& q, const char* end, float& v) {
  if (Lower(*q) == 'n') {
    if (!MatchWord(q, end, "nan")) return false;
    q += 3;
    v = std::numeric_limits<float>::quiet_NaN();
    return true;
  }
  if (!MatchWord(q, end, "inf")) return false;
  q += 3;
  if (q < end && Lower(*q) == 'i') {
    if (!MatchWord(q, end, "inity")) return false;
    q += 5;
  }
  v = std::numeric_limits<float>::infinity();
  return true;
}

// A hexadecimal float after its "0x" (body is where the "0" stands). They
// are rare enough to leave to strtof. sscanf gives up unless a hex digit or
// the point follows the "0x"; "0x." reads 0.
bool ScanHexFloat(const char* body, const char*& q, const char* end, float& v) {
  if (q >= end || !(IsHexDigit(*q) || *q == '.')) return false;
  bool digit = false, dot = false, exp = false;
  for (; q < end; ++q) {
    const char c = *q;
    if (IsHexDigit(c) && !exp) {
      digit = true;
    } else if (exp && IsDigit(c)) {
    } else if (!dot && !exp && c == '.') {
      dot = true;
    } else if (digit && !exp && Lower(c) == 'p') {
      exp = true;
    } else if (exp && (c == '+' || c == '-') && Lower(q[-1]) == 'p') {
    } else {
      break;
    }
  }
  v = StrtofC(body, q);
  return true;
}

// Plain decimals of up to seven digits, which is what exporters write: the
// digits and the power of ten are both exact floats, so their quotient is
// the correctly rounded value that strtof gives. Anything longer, or with
// an exponent, is left (q unmoved, false) to ScanLongDecimal.
bool ScanShortDecimal(const char*& q, const char* end, float& v) {
  static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  std::uint32_t m = 0;
  int decimals = 0;
  bool afterDot = false, anyDigit = false, exact = true;
  const char* r = q;
  for (; r < end; ++r) {
    const char c = *r;
    if (IsDigit(c)) {
      anyDigit = true;
      if (exact) {
        m = m * 10 + static_cast<std::uint32_t>(c - '0');
        decimals += afterDot ? 1 : 0;
        exact = m <= (1u << 24) && decimals <= 10;
      }
    } else if (c == '.' && !afterDot) {
      afterDot = true;
    } else {
      break;
    }
  }
  if (!anyDigit || !exact || (r < end && Lower(*r) == 'e')) return false;
  q = r;
  v = static_cast<float>(m) / kPow10[decimals];
  return true;
}

// Digits with one point and an exponent, of any length, rounded as strtof
// rounds them; q moves past what sscanf consumes, also when no digit came.
bool ScanLongDecimal(const char*& q, const char* end, float& v) {
  const char* body = q;
  bool digit = false, dot = false, exp = false;
  for (; q < end; ++q) {
    const char c = *q;
    if (IsDigit(c)) {
      if (!exp) digit = true;
    } else if (!dot && !exp && c == '.') {
      dot = true;
    } else if (digit && !exp && Lower(c) == 'e') {
      exp = true;
    } else if (exp && (c == '+' || c == '-') && Lower(q[-1]) == 'e') {
    } else {
      break;
    }
  }
  if (!digit) return false;
  v = 0.0f;
  auto result = std::from_chars(body, q, v, std::chars_format::general);
  if (result.ec != std::errc()) v = StrtofC(body, q);  // overflow to inf, underflow to 0
  return true;
}

}  // namespace

bool ScanFloat(const char*& p, const char* end, float& value) {
  const char* q = p;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
  if (q >= end) {
    p = q;
    return false;
  }
  float v = 0.0f;
  bool ok;
  const char first = Lower(*q);
  if (first == 'n' || first == 'i') {
    ok = ScanSpecialWord(q, end, v);
  } else if (*q == '0' && q + 1 < end && Lower(q[1]) == 'x') {
    const char* body = q;
    q += 2;
    ok = ScanHexFloat(body, q, end, v);
  } else {
    ok = ScanShortDecimal(q, end, v) || ScanLongDecimal(q, end, v);
  }
  p = q;
  if (!ok) return false;
  value = negative ? -v : v;
  return true;
}

int ScanNumbers(std::string_view line, int* ints, int intCount, float* floats, int floatCount) {
  FieldCursor fields(line);
  int stored = 0;
  for (int i = 0; i < intCount + floatCount; ++i) {
    const bool ok = i < intCount ? fields.Int(ints[i]) : fields.Float(floats[i - intCount]);
    if (!ok) return fields.RanOut() && stored == 0 ? -1 : stored;
    ++stored;
  }
  return stored;
}

int ScanCore(std::string_view line, const char* format, const ScanTarget* targets, std::size_t count) {
  const char* p = line.data();
  const char* end = p + line.size();
  std::size_t next = 0;
  int stored = 0;
  for (const char* f = format; *f != '\0'; ++f) {
    if (IsBlank(*f)) {
      while (p < end && IsBlank(*p)) ++p;
      continue;
    }
    if (*f != '%' || f[1] == '%') {
      if (*f == '%') ++f;
      if (p >= end) return stored == 0 ? -1 : stored;
      if (*p != *f) return stored;
      ++p;
      continue;
    }
    char conversion = *++f;
    assert((conversion == 'd' || conversion == 'f' || conversion == 's') && "ScanLine supports %d, %f and %s");
    assert(next < count && "ScanLine: more conversions than targets");
    if (next >= count) return stored;
    const ScanTarget& t = targets[next++];
    while (p < end && IsBlank(*p)) ++p;
    if (p >= end) return stored == 0 ? -1 : stored;
    switch (conversion) {
      case 'd': {
        assert(t.kind == ScanTarget::kInt && "%d needs an int*");
        int v;
        if (!ScanInt(p, end, v)) return stored;
        *static_cast<int*>(t.pointer) = v;
        break;
      }
      case 'f': {
        assert(t.kind == ScanTarget::kFloat && "%f needs a float*");
        float v;
        if (!ScanFloat(p, end, v)) return stored;
        *static_cast<float*>(t.pointer) = v;
        break;
      }
      case 's': {
        assert(t.kind == ScanTarget::kText && t.size > 0 && "%s needs a buffer");
        const char* w = p;
        while (p < end && !IsBlank(*p)) ++p;
        std::size_t n = static_cast<std::size_t>(p - w);
        if (n > t.size - 1) n = t.size - 1;
        char* out = static_cast<char*>(t.pointer);
        std::memcpy(out, w, n);
        out[n] = '\0';
        break;
      }
      default:
        return stored;
    }
    ++stored;
  }
  return stored;
}

}  // namespace tarn::formats
