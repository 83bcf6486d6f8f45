// frame-compare: how far a screenshot of the Windows program (an X window
// dump, as xwd writes it) is from the Linux frame of the same scene (PNG).
//
//   frame-compare SCREEN.xwd FRAME.png LIMIT [X Y W H]...
//   frame-compare --png SCREEN.xwd OUT.png     (the dump as PNG, to look at)
//
// Prints the mean absolute difference per channel (0..255) over the pixels
// outside the given rectangles (the HUD's texts, which hold the frame rate)
// and exits 0 when it is under LIMIT, 1 when it is not, 2 when a picture
// cannot be read or the sizes differ.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // r, g, b per pixel, top row first
};

bool ReadPng(const char* path, Rgb& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) return false;
  image.format = PNG_FORMAT_RGB;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

std::uint32_t Big32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The channel under `mask`, scaled to 0..255.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint32_t max = mask >> shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

// ZPixmap dumps of TrueColor screens of 16, 24 or 32 bits per pixel.
bool ReadXwd(const char* path, Rgb& out) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 100) return false;
  const std::uint8_t* h = data.data();
  const std::uint32_t headerSize = Big32(h), format = Big32(h + 8), width = Big32(h + 16), height = Big32(h + 20),
                      byteOrder = Big32(h + 28), bitsPerPixel = Big32(h + 44), bytesPerLine = Big32(h + 48),
                      redMask = Big32(h + 56), greenMask = Big32(h + 60), blueMask = Big32(h + 64),
                      colours = Big32(h + 76);
  if (format != 2 || (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) || width == 0 ||
      width > 16384 || height == 0 || height > 16384 || colours > 65536 || bytesPerLine < width * bitsPerPixel / 8)
    return false;
  const std::uint64_t start = std::uint64_t{headerSize} + std::uint64_t{colours} * 12;
  if (start + std::uint64_t{bytesPerLine} * height > data.size()) return false;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels.resize(std::size_t{width} * height * 3);
  const std::uint32_t bytes = bitsPerPixel / 8;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = data.data() + start + std::uint64_t{bytesPerLine} * y;
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint32_t pixel = 0;
      for (std::uint32_t b = 0; b < bytes; ++b) {
        const std::uint32_t byte = row[x * bytes + b];
        pixel |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytes - 1 - b));
      }
      std::uint8_t* p = &out.pixels[(std::size_t{y} * width + x) * 3];
      p[0] = Channel(pixel, redMask);
      p[1] = Channel(pixel, greenMask);
      p[2] = Channel(pixel, blueMask);
    }
  }
  return true;
}

bool WritePng(const char* path, const Rgb& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path, 0, picture.pixels.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--png") {
    Rgb screen;
    if (!ReadXwd(argv[2], screen) || !WritePng(argv[3], screen)) {
      std::fprintf(stderr, "frame-compare: cannot turn %s into %s\n", argv[2], argv[3]);
      return 2;
    }
    return 0;
  }
  if (argc < 4 || (argc - 4) % 4 != 0) {
    std::fputs("usage: frame-compare SCREEN.xwd FRAME.png LIMIT [X Y W H]...\n", stderr);
    return 2;
  }
  Rgb screen, frame;
  if (!ReadXwd(argv[1], screen)) {
    std::fprintf(stderr, "frame-compare: %s is not a dump of a 16, 24 or 32-bit screen\n", argv[1]);
    return 2;
  }
  if (!ReadPng(argv[2], frame)) {
    std::fprintf(stderr, "frame-compare: cannot read %s\n", argv[2]);
    return 2;
  }
  if (screen.width != frame.width || screen.height != frame.height) {
    std::fprintf(stderr, "frame-compare: the screen is %dx%d, the frame %dx%d\n", screen.width, screen.height,
                 frame.width, frame.height);
    return 2;
  }
  std::vector<bool> skip(std::size_t(screen.width) * screen.height, false);
  for (int i = 4; i + 3 < argc; i += 4) {
    const int x0 = std::atoi(argv[i]), y0 = std::atoi(argv[i + 1]);
    const int x1 = x0 + std::atoi(argv[i + 2]), y1 = y0 + std::atoi(argv[i + 3]);
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < screen.height; ++y)
      for (int x = x0 < 0 ? 0 : x0; x < x1 && x < screen.width; ++x) skip[std::size_t(y) * screen.width + x] = true;
  }
  double sum = 0;
  std::size_t counted = 0;
  for (std::size_t i = 0; i < skip.size(); ++i) {
    if (skip[i]) continue;
    for (int c = 0; c < 3; ++c) sum += std::abs(int{screen.pixels[i * 3 + c]} - int{frame.pixels[i * 3 + c]});
    ++counted;
  }
  const double mean = counted > 0 ? sum / (3.0 * static_cast<double>(counted)) : 0.0;
  const double limit = std::atof(argv[3]);
  std::printf("mean difference %.2f per channel over %zu pixels (limit %.2f)\n", mean, counted, limit);
  return counted > 0 && mean < limit ? 0 : 1;
}
