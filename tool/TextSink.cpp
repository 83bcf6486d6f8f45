#include "tool/TextSink.h"

#include <cstdint>
#include <cstring>

#include "formats/LineScan.h"

namespace tarn::tool {
namespace {

constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// "00" to "99": two digits per division.
struct DigitPairs {
  char text[200] = {};
  constexpr DigitPairs() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs{};

int DigitCount(std::uint64_t v) {
  // floor(log10) from the bit length, then one comparison settles it.
  static constexpr std::uint64_t kPowers[20] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull,
                                                10000000ull, 100000000ull, 1000000000ull, 10000000000ull,
                                                100000000000ull, 1000000000000ull, 10000000000000ull,
                                                100000000000000ull, 1000000000000000ull, 10000000000000000ull,
                                                100000000000000000ull, 1000000000000000000ull,
                                                10000000000000000000ull};
  const std::uint64_t w = v | 1;
  const int t = ((64 - __builtin_clzll(w)) * 1233) >> 12;
  return t + (w >= kPowers[t] ? 1 : 0);
}

// Writes v as exactly n digits (leading zeros where v has fewer).
void PutDigits(char* out, std::uint64_t v, int n) {
  while (n >= 2) {
    std::memcpy(out + n - 2, kPairs.text + 2 * (v % 100), 2);
    v /= 100;
    n -= 2;
  }
  if (n == 1) out[0] = static_cast<char>('0' + v % 10);
}

char* PutUnsigned(char* out, std::uint64_t v) {
  int n = DigitCount(v);
  PutDigits(out, v, n);
  return out + n;
}

char* Fallback(char* out, float value, int decimals) {
  int n = std::snprintf(out, 64, "%.*f", decimals, static_cast<double>(value));
  if (n < 0) n = 0;
  if (n > 63) n = 63;  // only |value| >= 1e54 would get here, never a float
  return out + n;
}

}  // namespace

char* FormatInt(char* out, int value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value < 0 ? -static_cast<std::int64_t>(value) : value);
  if (value < 0) *out++ = '-';
  return PutUnsigned(out, magnitude);
}

namespace {

// The work of FormatFixed for a number of decimals known when compiling
// (kDecimals >= 0), where dividing by the power of ten is a multiplication,
// or given at run time (kDecimals < 0).
template <int kDecimals>
char* FormatFixedWith(char* out, float value, int runDecimals) {
  const int decimals = kDecimals >= 0 ? kDecimals : runDecimals;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  std::uint64_t mantissa = bits & 0x7FFFFF;
  if (biased == 0xFF || decimals < 0 || decimals > 9) return Fallback(out, value, decimals);
  int exponent;  // value = mantissa * 2^exponent
  if (biased == 0) {
    exponent = -149;
  } else {
    mantissa |= 0x800000;
    exponent = biased - 150;
  }
  if (exponent >= 53 - 24) return Fallback(out, value, decimals);  // 2^53 and more

  const std::uint64_t scale = kDecimals >= 0 ? kPow10[kDecimals >= 0 ? kDecimals : 0] : kPow10[decimals];
  std::uint64_t intPart, fracPart;
  if (exponent >= 0) {
    intPart = mantissa << exponent;
    fracPart = 0;
  } else {
    // scaled = mantissa * 10^decimals / 2^-exponent, rounded half to even.
    // The product stays below 2^54, so 64 bits hold every step, and a shift
    // past 54 leaves less than half a unit: 0.
    const int shift = -exponent;
    const std::uint64_t num = mantissa * scale;
    std::uint64_t q = 0;
    if (shift <= 54) {
      q = num >> shift;
      const std::uint64_t rest = num - (q << shift);
      const std::uint64_t half = std::uint64_t{1} << (shift - 1);
      if (rest > half || (rest == half && (q & 1) != 0)) ++q;
    }
    intPart = q / scale;
    fracPart = q % scale;
  }
  if (negative) *out++ = '-';
  out = PutUnsigned(out, intPart);
  if (decimals > 0) {
    *out++ = '.';
    PutDigits(out, fracPart, decimals);
    out += decimals;
  }
  return out;
}

}  // namespace

char* FormatFixed(char* out, float value, int decimals) {
  // The files' two forms, "%f" and "%3.4f", get their own instances.
  switch (decimals) {
    case 6: return FormatFixedWith<6>(out, value, 6);
    case 4: return FormatFixedWith<4>(out, value, 4);
    default: return FormatFixedWith<-1>(out, value, decimals);
  }
}

void Fixed4Text::Set(float value) { length = static_cast<std::size_t>(FormatFixed(text, value, 4) - text); }

namespace {

// "-?(0|[1-9][0-9]{0,2})\.[0-9]{4}" ending at a blank or the end: the form
// "%.4f" gives every float below 1000, and what "%f" reads of it whole.
std::size_t CanonicalFixed4(const char* p, const char* end) {
  const char* q = p;
  if (q < end && *q == '-') ++q;
  const char* digits = q;
  while (q < end && *q >= '0' && *q <= '9') ++q;
  std::size_t whole = static_cast<std::size_t>(q - digits);
  if (whole == 0 || whole > 3 || (whole > 1 && *digits == '0')) return 0;
  if (q >= end || *q != '.') return 0;
  ++q;
  for (int i = 0; i < 4; ++i, ++q)
    if (q >= end || *q < '0' || *q > '9') return 0;
  if (q < end && !formats::IsBlank(*q)) return 0;
  return static_cast<std::size_t>(q - p);
}

}  // namespace

void ScanIntAndFixed4(std::string_view text, int* value, Fixed4Text* fields, int count) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && formats::IsBlank(*p)) ++p;
  int number;
  const char* q = p;
  bool fast = formats::ScanInt(q, end, number) && q < end && formats::IsBlank(*q);
  const char* tokens[4];
  std::size_t lengths[4];
  for (int k = 0; k < count && fast; ++k) {
    while (q < end && formats::IsBlank(*q)) ++q;
    lengths[k] = CanonicalFixed4(q, end);
    tokens[k] = q;
    fast = lengths[k] != 0;
    q += lengths[k];
  }
  if (fast) {
    *value = number;
    for (int k = 0; k < count; ++k) {
      CopySmall(fields[k].text, tokens[k], lengths[k]);
      fields[k].length = lengths[k];
    }
    return;
  }
  // Anything else goes through the scanner and the printer.
  static const char* const kFormats[] = {"%d %f", "%d %f %f", "%d %f %f %f", "%d %f %f %f %f"};
  float f[4] = {};
  int stored = formats::ScanLine(text, kFormats[count - 1], value, &f[0], &f[1], &f[2], &f[3]);
  for (int k = 0; k + 1 < stored; ++k) fields[k].Set(f[k]);
}

TextSink& TextSink::PutLong(std::string_view text) {
  while (!text.empty()) {
    std::size_t room = static_cast<std::size_t>(buffer_ + kSize - pos_);
    if (room == 0) {
      Drain();
      continue;
    }
    std::size_t n = text.size() < room ? text.size() : room;
    std::memcpy(pos_, text.data(), n);
    pos_ += n;
    text.remove_prefix(n);
  }
  return *this;
}

void TextSink::Drain() {
  std::size_t n = static_cast<std::size_t>(pos_ - buffer_);
  pos_ = buffer_;
  if (n == 0) return;
  if (text_ != nullptr) {
    text_->append(buffer_, n);
  } else if (stream_ == nullptr || std::fwrite(buffer_, 1, n, stream_) != n) {
    failed_ = true;
  }
}

bool TextSink::Flush() {
  Drain();
  if (stream_ != nullptr && std::fflush(stream_) != 0) failed_ = true;
  return !failed_;
}

}  // namespace tarn::tool
