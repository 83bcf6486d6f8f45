#include "platform/hosts/sdl/FrameFit.h"

#include <algorithm>

namespace tarn::hosts {

FitRect FitFrame(int frameWidth, int frameHeight, int outputWidth, int outputHeight) {
  FitRect fit;
  if (frameWidth <= 0 || frameHeight <= 0 || outputWidth <= 0 || outputHeight <= 0) return fit;
  const std::int64_t fw = frameWidth, fh = frameHeight, ow = outputWidth, oh = outputHeight;
  if (ow * fh <= oh * fw) {  // the width decides
    fit.width = outputWidth;
    fit.height = static_cast<int>(std::clamp<std::int64_t>((fh * ow + fw / 2) / fw, 1, oh));
  } else {
    fit.height = outputHeight;
    fit.width = static_cast<int>(std::clamp<std::int64_t>((fw * oh + fh / 2) / fh, 1, ow));
  }
  fit.x = (outputWidth - fit.width) / 2;
  fit.y = (outputHeight - fit.height) / 2;
  return fit;
}

void AreaShrinker::Axis::Build(int fromSize, int toSize) {
  if (from == fromSize && to == toSize) return;
  from = fromSize, to = toSize;
  first.assign(1, 0);
  source.clear();
  weight.clear();
  const std::int64_t n = fromSize, m = toSize;
  for (std::int64_t i = 0; i < m; ++i) {
    // Destination pixel i spans [i n, (i + 1) n); source pixel j spans [j m, (j + 1) m).
    const std::int64_t lo = i * n, hi = lo + n;
    for (std::int64_t j = lo / m; j * m < hi && j < n; ++j) {
      const std::int64_t overlap = std::min(hi, (j + 1) * m) - std::max(lo, j * m);
      if (overlap <= 0) continue;
      source.push_back(static_cast<int>(j));
      weight.push_back(static_cast<std::uint32_t>(overlap));
    }
    first.push_back(static_cast<int>(source.size()));
  }
}

void AreaShrinker::FilterRow(const std::uint16_t* row) {
  // Widened once, since a source pixel feeds up to two output pixels.
  for (int j = 0; j < columns_.from; ++j) {
    const std::uint32_t p = row[j], r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    std::uint8_t* to = &wide_[static_cast<std::size_t>(j) * 3];
    to[0] = static_cast<std::uint8_t>(r5 << 3 | r5 >> 2);
    to[1] = static_cast<std::uint8_t>(g6 << 2 | g6 >> 4);
    to[2] = static_cast<std::uint8_t>(b5 << 3 | b5 >> 2);
  }
  for (int i = 0; i < columns_.to; ++i) {
    std::uint32_t r = 0, g = 0, b = 0;
    for (int t = columns_.first[i]; t < columns_.first[i + 1]; ++t) {
      const std::uint8_t* c = &wide_[static_cast<std::size_t>(columns_.source[t]) * 3];
      const std::uint32_t w = columns_.weight[t];
      r += w * c[0], g += w * c[1], b += w * c[2];
    }
    // The average in 8.8 fixed point: sum x 256 / n, by a multiplication.
    std::uint16_t* to = &filtered_[static_cast<std::size_t>(i) * 3];
    to[0] = static_cast<std::uint16_t>((r * columnScale_ + (1u << 15)) >> 16);
    to[1] = static_cast<std::uint16_t>((g * columnScale_ + (1u << 15)) >> 16);
    to[2] = static_cast<std::uint16_t>((b * columnScale_ + (1u << 15)) >> 16);
  }
}

bool AreaShrinker::Shrink(const std::uint16_t* pixels, int pitchBytes, int width, int height, std::uint32_t* out,
                          int outWidth, int outHeight) {
  // Sizes up to 16384 keep the row sums below 2^32: about 255 x 256 x 16384.
  if (pixels == nullptr || out == nullptr || width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
      outWidth <= 0 || outHeight <= 0 || outWidth > width || outHeight > height || pitchBytes < width * 2)
    return false;
  columns_.Build(width, outWidth);
  rows_.Build(height, outHeight);
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  columnScale_ = ((std::uint64_t{1} << 24) + w / 2) / w;
  wide_.resize(static_cast<std::size_t>(width) * 3);
  filtered_.resize(static_cast<std::size_t>(outWidth) * 3);
  sums_.resize(static_cast<std::size_t>(outWidth) * 3);
  filteredRow_ = -1;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels);
  // The weights' sum is the height; with the 8.8 point, sum / (height x 256)
  // by a multiplication.
  const std::uint64_t h = static_cast<std::uint64_t>(height);
  const std::uint64_t rowScale = ((std::uint64_t{1} << 40) + h * 128) / (h << 8);
  const auto average = [rowScale](std::uint32_t sum) {
    return std::min<std::uint32_t>(static_cast<std::uint32_t>((sum * rowScale + (std::uint64_t{1} << 39)) >> 40), 255);
  };
  for (int k = 0; k < outHeight; ++k) {
    std::fill(sums_.begin(), sums_.end(), 0u);
    for (int t = rows_.first[k]; t < rows_.first[k + 1]; ++t) {
      const int y = rows_.source[t];
      // Neighbouring output rows share their boundary row: filter it once.
      if (y != filteredRow_) {
        FilterRow(reinterpret_cast<const std::uint16_t*>(bytes + static_cast<std::size_t>(y) * pitchBytes));
        filteredRow_ = y;
      }
      const std::uint32_t w = rows_.weight[t];
      for (std::size_t c = 0; c < sums_.size(); ++c) sums_[c] += w * filtered_[c];
    }
    std::uint32_t* row = out + static_cast<std::size_t>(k) * outWidth;
    for (int i = 0; i < outWidth; ++i) {
      const std::uint32_t* s = &sums_[static_cast<std::size_t>(i) * 3];
      row[i] = average(s[0]) << 16 | average(s[1]) << 8 | average(s[2]);
    }
  }
  return true;
}

}  // namespace tarn::hosts
