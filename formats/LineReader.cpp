// Line splitting with the fgets-in-text-mode rules described in the header.
#include "formats/LineReader.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarn::formats {
namespace {
constexpr std::size_t kBlock = 64 * 1024;

#if defined(__SSE2__)
// Bit i set where p[i] is a blank: ' ' or '\t'..'\r'.
inline unsigned BlankMask(const char* p) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i space = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
  __m128i control = _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, _mm_set1_epi8('\t')), _mm_set1_epi8(4)),
                                   _mm_setzero_si128());
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(space, control)));
}
#endif

// The first character at or after p (before e) that is (kBlank true) or is
// not (false) a blank; e when there is none. Sixteen at a time while
// sixteen remain, so nothing past e is read.
template <bool kBlank>
inline __attribute__((always_inline)) const char* Find(const char* p, const char* e) {
#if defined(__SSE2__)
  while (e - p >= 16) {
    unsigned m = BlankMask(p);
    if (!kBlank) m = ~m & 0xFFFFu;
    if (m != 0) return p + __builtin_ctz(m);
    p += 16;
  }
#endif
  while (p < e && IsBlank(*p) != kBlank) ++p;
  return p;
}

}  // namespace

LineReader::LineReader(const char* data, std::size_t size)
    : cur_(data), end_(data + size), eof_(true) {
  FindNul();
}

LineReader::LineReader(std::FILE* stream) : stream_(stream), block_(kBlock), eof_(stream == nullptr) {
  cur_ = end_ = nul_ = block_.data();
}

void LineReader::FindNul() {
  const void* n = cur_ < end_ ? std::memchr(cur_, '\0', static_cast<std::size_t>(end_ - cur_)) : nullptr;
  nul_ = n != nullptr ? static_cast<const char*>(n) : end_;
}

bool LineReader::Fill() {
  if (eof_) return cur_ < end_;
  std::size_t have = static_cast<std::size_t>(end_ - cur_);
  if (have >= kMaxLine + 2) return true;
  std::memmove(block_.data(), cur_, have);
  cur_ = block_.data();
  end_ = cur_ + have;
  while (!eof_ && static_cast<std::size_t>(end_ - cur_) < kMaxLine + 2) {
    std::size_t room = block_.size() - static_cast<std::size_t>(end_ - block_.data());
    std::size_t got = std::fread(const_cast<char*>(end_), 1, room, stream_);
    end_ += got;
    if (got == 0) eof_ = true;
  }
  FindNul();
  return cur_ < end_;
}

bool LineReader::Next() {
  // Each cleared on its own: a chained assignment reads back what it just
  // stored, which stalls on every line.
  line_ = {};
  keyword_ = {};
  second_ = {};
  secondFound_ = true;
  if (!Fill()) return false;
  std::size_t have = static_cast<std::size_t>(end_ - cur_);
  // A newline within the first 256 bytes (255 characters, or 254 and a CR)
  // may end this piece.
  std::size_t window = have < kMaxLine + 1 ? have : kMaxLine + 1;
  const char* nl = static_cast<const char*>(std::memchr(cur_, '\n', window));
  std::size_t length;
  std::size_t take;
  if (nl != nullptr) {
    length = static_cast<std::size_t>(nl - cur_);
    std::size_t chars = length;  // characters before the newline, CR LF counted as newline
    if (length > 0 && nl[-1] == '\r') --chars;
    if (chars + 1 <= kMaxLine) {
      length = chars;
      take = static_cast<std::size_t>(nl - cur_) + 1;
    } else {
      length = take = kMaxLine;
    }
  } else if (have <= kMaxLine && eof_) {
    length = take = have;
    if (length > 0 && cur_[length - 1] == '\r') --length;  // CR at the very end
  } else {
    length = take = have < kMaxLine ? have : kMaxLine;
  }
  // The line is viewed in place: memory input lives as long as the reader,
  // and a stream's block keeps it until the next call moves the block.
  const char* start = cur_;
  if (nul_ < start + length) length = static_cast<std::size_t>(nul_ - start);  // nul_ >= start
  line_ = std::string_view(start, length);
  cur_ += take;
  if (nul_ < cur_) FindNul();  // each byte is searched once between two fills
  consumed_ += take;
  ++lineNumber_;
  SplitWords();
  return true;
}

bool LineReader::NextKeywordLine() {
  while (Next())
    if (HasWord()) return true;
  return false;
}

void LineReader::SplitWords() {
  const char* e = line_.data() + line_.size();
  const char* w = Find<false>(line_.data(), e);
  const char* p = Find<true>(w, e);
  std::size_t n = static_cast<std::size_t>(p - w);
  keyword_ = std::string_view(w, n < kKeywordBuffer - 1 ? n : kKeywordBuffer - 1);
  keywordEnd_ = p;
  secondFound_ = n == 0;  // no first word, no second
}

void LineReader::FindSecondWord() const {
  const char* e = line_.data() + line_.size();
  const char* w = Find<false>(keywordEnd_, e);
  const char* p = Find<true>(w, e);
  second_ = std::string_view(w, static_cast<std::size_t>(p - w));
  secondFound_ = true;
}

bool LineReader::SecondWordIs(std::string_view word) const {
  if (secondFound_) return second_ == word;
  const char* e = line_.data() + line_.size();
  const char* w = Find<false>(keywordEnd_, e);
  std::size_t n = word.size();
  return static_cast<std::size_t>(e - w) >= n && std::memcmp(w, word.data(), n) == 0 &&
         (static_cast<std::size_t>(e - w) == n || IsBlank(w[n])) && (n > 0 || w == e);
}

std::string_view WordAt(std::string_view line, int n) {
  const char* p = line.data();
  const char* e = p + line.size();
  for (;;) {
    while (p < e && IsBlank(*p)) ++p;
    const char* w = p;
    while (p < e && !IsBlank(*p)) ++p;
    if (w == p) return {};
    if (n-- == 0) return std::string_view(w, static_cast<std::size_t>(p - w));
  }
}

}  // namespace tarn::formats
