// FrameFit: where the engine's frame goes on a display of another size, and
// the shrink that keeps the HUD legible when the frame must get smaller.
//
// The frame is scaled uniformly to the largest size that fits, centred, with
// black bars where the aspects differ. Enlarging picks pixels (whole factors
// stay sharp); shrinking averages the area each screen pixel covers, since
// picking pixels would drop whole columns and rows and with them the HUD's
// one-pixel strokes.
#pragma once

#include <cstdint>
#include <vector>

namespace tarn::hosts {

struct FitRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The largest rectangle of the frame's aspect inside the output, centred
// (odd leftovers go to the right and bottom bar). All zero when either size
// is empty.
FitRect FitFrame(int frameWidth, int frameHeight, int outputWidth, int outputHeight);

// A box filter from 5-6-5 pixels to 0x00RRGGBB pixels of a smaller size: each
// output pixel is the average of the source area it covers, weighted by how
// much of each source pixel lies inside it. Its tables are kept while the
// sizes stay the same.
class AreaShrinker {
 public:
  // False, with nothing written, unless 0 < out <= source on both axes and
  // the pitch holds a row. `out` holds outWidth x outHeight pixels, rows
  // packed.
  bool Shrink(const std::uint16_t* pixels, int pitchBytes, int width, int height, std::uint32_t* out, int outWidth,
              int outHeight);

 private:
  // One destination pixel of an axis takes taps [first[i], first[i + 1]):
  // source index and weight. Weights are lengths in units where a source
  // pixel is `to` long and a destination pixel `from` long, so each
  // destination pixel's weights add up to `from`.
  struct Axis {
    int from = 0, to = 0;
    std::vector<int> first;
    std::vector<int> source;
    std::vector<std::uint32_t> weight;
    void Build(int fromSize, int toSize);
  };
  // One source row filtered horizontally: three channels per output column,
  // 8.8 fixed point.
  void FilterRow(const std::uint16_t* row);

  Axis columns_, rows_;
  std::uint64_t columnScale_ = 0;   // 2^24 / source width: x 256 / n, in 16.16
  std::vector<std::uint8_t> wide_;  // one source row widened to 8-bit channels
  std::vector<std::uint16_t> filtered_;
  int filteredRow_ = -1;
  std::vector<std::uint32_t> sums_;
};

}  // namespace tarn::hosts
