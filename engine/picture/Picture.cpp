// BMP and TGA readers, the picture loader and the 2-D blit.
#include <cstdio>
#include <cstring>

#include "engine/picture/ByteCursor.h"
#include "engine/picture/ColourBytes.h"
#include "engine/picture/Image.h"
#include "platform/files/AnsiFile.h"

namespace {

// Pictures larger than this are not textures anyone meant (2^28 pixels of
// 4 bytes is already 1 GB of pixels).
constexpr std::size_t kMaxPictureFile = std::size_t{1} << 30;

// The size checks shared by both readers: the count of pixels must fit
// 2^28 and must not exceed the bytes of pixel data the file has, since
// every pixel of an accepted depth takes at least one byte.
bool PlausibleSize(std::int64_t w, std::int64_t h, std::size_t dataBytes) {
  if (w <= 0 || h <= 0) return false;
  std::int64_t count = w * h;
  return count <= Image::kMaxPixels && static_cast<std::uint64_t>(count) <= dataBytes;
}

// Converts `pixels` source pixels of one row; `bytes` is how many of the
// row's bytes the file holds (the rest stays 0).
template <int Bytes, class Convert>
void ConvertRow(const std::uint8_t* src, std::size_t bytes, std::uint32_t* dst, std::int32_t pixels,
                Convert convert) {
  std::size_t whole = bytes / Bytes;
  std::size_t n = whole < static_cast<std::size_t>(pixels) ? whole : static_cast<std::size_t>(pixels);
  for (std::size_t i = 0; i < n; ++i) dst[i] = convert(src + i * Bytes);
}

}  // namespace

void Image::Clear() {
  width = height = 0;
  pixels = std::vector<std::uint32_t>();
}

std::uint64_t PictureHash(const Image& picture) {
  // FNV-1a over whole pixels: one multiply each, cheap beside the load.
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
  mix(static_cast<std::uint32_t>(picture.width));
  mix(static_cast<std::uint32_t>(picture.height));
  for (std::uint32_t p : picture.pixels) mix(p);
  return h;
}

bool ReadWholeFile(const char* name, std::vector<std::uint8_t>& out, std::size_t limit) {
  out.clear();
  std::FILE* f = tarn::files::AnsiFopen(name, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && static_cast<std::size_t>(size) <= limit && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(static_cast<std::size_t>(size));
    ok = out.empty() || std::fread(out.data(), 1, out.size(), f) == out.size();
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

int Image::ReadBmp(const std::uint8_t* data, std::size_t size, std::uint32_t fillColour) {
  ByteCursor in(data, size);
  std::uint8_t b = in.U8(), m = in.U8();
  in.Seek(10);
  std::uint32_t offset = in.U32();
  in.Seek(14 + 4);
  std::int32_t w = in.I32();
  std::int32_t h = in.I32();
  in.Seek(14 + 14);
  std::uint16_t bits = in.U16();
  std::uint32_t compression = in.U32();
  Clear();
  if (!in.Ok() || b != 'B' || m != 'M' || compression != 0) return 0;
  int bytesPerPixel = bits == 8 ? 1 : bits == 15 ? 2 : bits == 24 ? 3 : 0;
  if (bytesPerPixel == 0) return 0;
  bool topDown = h < 0;
  std::int64_t rows = topDown ? -static_cast<std::int64_t>(h) : h;
  std::size_t dataBytes = offset < size ? size - offset : 0;
  if (!PlausibleSize(w, rows, dataBytes)) return 0;

  width = w;
  height = static_cast<std::int32_t>(rows);
  pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  const std::size_t rowBytes = (static_cast<std::size_t>(bytesPerPixel) * static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  const std::uint32_t fill = fillColour & 0x00FFFFFFu;
  for (std::int32_t r = 0; r < height; ++r) {
    std::size_t start = static_cast<std::size_t>(r) * rowBytes;
    if (start >= dataBytes) break;
    std::size_t have = dataBytes - start < rowBytes ? dataBytes - start : rowBytes;
    const std::uint8_t* src = data + offset + start;
    std::int32_t y = topDown ? r : height - 1 - r;
    std::uint32_t* dst = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    switch (bits) {
      case 8:
        ConvertRow<1>(src, have, dst, width,
                      [fill](const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0]) << 24 | fill; });
        break;
      case 15:
        ConvertRow<2>(src, have, dst, width, [](const std::uint8_t* p) {
          std::uint32_t v = static_cast<std::uint32_t>(p[0] | p[1] << 8);
          return 0xFF000000u | ((v >> 10) & 31) << 19 | ((v >> 5) & 31) << 11 | (v & 31) << 3;
        });
        break;
      default:
        ConvertRow<3>(src, have, dst, width, [](const std::uint8_t* p) {
          return 0xFF000000u | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
        });
        break;
    }
  }
  return 1;
}

int Image::ReadTga(const std::uint8_t* data, std::size_t size) {
  ByteCursor in(data, size);
  std::uint8_t idLength = in.U8();
  std::uint8_t mapType = in.U8();
  std::uint8_t imageType = in.U8();
  in.U16();  // first colour map entry
  std::uint16_t mapLength = in.U16();
  std::uint8_t mapEntryBits = in.U8();
  in.Seek(12);
  std::uint16_t w = in.U16();
  std::uint16_t h = in.U16();
  std::uint8_t bits = in.U8();
  std::uint8_t descriptor = in.U8();
  Clear();
  if (!in.Ok() || imageType != 2 || (bits != 24 && bits != 32)) return 0;
  in.Skip(idLength);
  if (mapType != 0) in.Skip(static_cast<std::size_t>(mapLength) * ((mapEntryBits + 7u) / 8u));
  std::size_t start = in.Ok() ? in.Position() : size;
  std::size_t dataBytes = size - start;
  if (!PlausibleSize(w, h, dataBytes)) return 0;

  width = w;
  height = h;
  pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  const bool topDown = (descriptor & 0x20) != 0;
  const std::size_t bytesPerPixel = bits / 8u;
  const std::size_t rowBytes = bytesPerPixel * width;
  for (std::int32_t r = 0; r < height; ++r) {
    std::size_t at = static_cast<std::size_t>(r) * rowBytes;
    if (at >= dataBytes) break;
    std::size_t have = dataBytes - at < rowBytes ? dataBytes - at : rowBytes;
    const std::uint8_t* src = data + start + at;
    std::int32_t y = topDown ? r : height - 1 - r;
    std::uint32_t* dst = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    if (bits == 24) {
      ConvertRow<3>(src, have, dst, width, [](const std::uint8_t* p) {
        return 0xFF000000u | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
      });
    } else {
      ConvertRow<4>(src, have, dst, width, [](const std::uint8_t* p) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);  // B, G, R, A in memory is 0xAARRGGBB little-endian
        return v;
      });
    }
  }
  return 1;
}

int Image::ReadBmp(const char* name, std::uint32_t fillColour) {
  std::vector<std::uint8_t> file;
  if (!ReadWholeFile(name, file, kMaxPictureFile)) {
    Clear();
    return 0;
  }
  return ReadBmp(file.data(), file.size(), fillColour);
}

int Image::ReadTga(const char* name) {
  std::vector<std::uint8_t> file;
  if (!ReadWholeFile(name, file, kMaxPictureFile)) {
    Clear();
    return 0;
  }
  return ReadTga(file.data(), file.size());
}

int Image::LoadPicture(const char* name) { return LoadPicture(name, nullptr); }

int Image::LoadPicture(const char* name, std::string* why) {
  if (why != nullptr) why->clear();
  if (name == nullptr || tarn::files::AnsiFileSize(name, nullptr) != 0) return 0;
  std::size_t n = std::strlen(name);
  if (n < 3) return 1;
  const char* end = name + n - 3;
  const bool bmp = std::strcmp(end, "bmp") == 0 || std::strcmp(end, "Bmp") == 0 || std::strcmp(end, "BMP") == 0;
  const bool tga = std::strcmp(end, "tga") == 0 || std::strcmp(end, "Tga") == 0 || std::strcmp(end, "TGA") == 0;
  if (!bmp && !tga) return 1;
  std::vector<std::uint8_t> file;
  if (!ReadWholeFile(name, file, kMaxPictureFile)) {
    if (why != nullptr) *why = "the file could not be read whole (" + tarn::files::LastErrorText() + ")";
    Clear();
    return 0;
  }
  const int read = bmp ? ReadBmp(file.data(), file.size(), 0xFFFFFF) : ReadTga(file.data(), file.size());
  if (why != nullptr) *why = PictureFault(file.data(), file.size(), tga);
  return read ? 1 : 0;
}

namespace {

std::string Text(const char* format, long long a, long long b = 0, long long c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// What other kinds of picture start with, for a file in the wrong clothes.
const char* OtherKind(const std::uint8_t* data, std::size_t size) {
  auto starts = [&](const char* magic, std::size_t n) { return size >= n && std::memcmp(data, magic, n) == 0; };
  if (starts("\x89PNG", 4)) return "PNG data";
  if (starts("\xFF\xD8\xFF", 3)) return "JPEG data";
  if (starts("GIF8", 4)) return "GIF data";
  if (starts("DDS ", 4)) return "DDS data";
  if (starts("BM", 2)) return "BMP data";
  return nullptr;
}

// The row the file stops in, for a picture whose header fits its data.
std::string CutOff(std::size_t dataBytes, std::size_t rowBytes, std::int64_t rows) {
  if (rowBytes == 0 || static_cast<std::uint64_t>(rows) <= dataBytes / rowBytes) return {};
  return Text("cut off at row %lld of %lld; the rest is transparent black",
              static_cast<long long>(dataBytes / rowBytes) + 1, rows);
}

std::string BmpFault(const std::uint8_t* data, std::size_t size) {
  ByteCursor in(data, size);
  const std::uint8_t b = in.U8(), m = in.U8();
  if (b != 'B' || m != 'M') {
    const char* other = OtherKind(data, size);
    return std::string(other != nullptr ? other : "no \"BM\" at its start") + ", not a BMP picture";
  }
  in.Seek(10);
  const std::uint32_t offset = in.U32();
  in.Seek(14 + 4);
  const std::int32_t w = in.I32();
  const std::int32_t h = in.I32();
  in.Seek(14 + 14);
  const std::uint16_t bits = in.U16();
  const std::uint32_t compression = in.U32();
  if (!in.Ok()) return Text("cut off in its header (%lld bytes)", static_cast<long long>(size));
  if (compression != 0) {
    const char* kind = compression == 1 ? "run-length 8-bit" : compression == 2 ? "run-length 4-bit"
                       : compression == 3                  ? "bit-field"
                                                           : "compressed";
    return std::string("a ") + kind +
           Text(" BMP (compression %lld), which is not read; save it uncompressed", compression);
  }
  if (bits != 8 && bits != 15 && bits != 24)
    return Text("a BMP of %lld bits a pixel, which is not read (8, 15 and 24 are)", bits);
  const std::int64_t rows = h < 0 ? -static_cast<std::int64_t>(h) : h;
  const std::size_t dataBytes = offset < size ? size - offset : 0;
  if (w <= 0 || rows <= 0) return Text("a BMP of %lld x %lld pixels: nothing to draw", w, h);
  if (w * rows > Image::kMaxPixels) return Text("%lld x %lld pixels is more than 2^28", w, rows);
  if (static_cast<std::uint64_t>(w * rows) > dataBytes)
    return Text("cut off: %lld x %lld pixels, but only %lld bytes of pixel data", w, rows,
                static_cast<long long>(dataBytes));
  const int bytesPerPixel = bits == 8 ? 1 : bits == 15 ? 2 : 3;
  return CutOff(dataBytes, (static_cast<std::size_t>(bytesPerPixel) * static_cast<std::size_t>(w) + 3) & ~std::size_t{3},
                rows);
}

std::string TgaFault(const std::uint8_t* data, std::size_t size) {
  if (const char* other = OtherKind(data, size)) return std::string(other) + ", not a TGA picture";
  ByteCursor in(data, size);
  const std::uint8_t idLength = in.U8();
  const std::uint8_t mapType = in.U8();
  const std::uint8_t imageType = in.U8();
  in.U16();
  const std::uint16_t mapLength = in.U16();
  const std::uint8_t mapEntryBits = in.U8();
  in.Seek(12);
  const std::uint16_t w = in.U16();
  const std::uint16_t h = in.U16();
  const std::uint8_t bits = in.U8();
  in.U8();
  if (!in.Ok()) return Text("cut off in its header (%lld bytes)", static_cast<long long>(size));
  if (imageType != 2) {
    const char* kind = imageType == 0    ? "a TGA without image data"
                       : imageType == 1  ? "a colour-mapped TGA"
                       : imageType == 3  ? "a greyscale TGA"
                       : imageType == 9  ? "a run-length colour-mapped TGA"
                       : imageType == 10 ? "a run-length TGA"
                       : imageType == 11 ? "a run-length greyscale TGA"
                                         : "not a TGA picture, or a TGA";
    return std::string(kind) + Text(" (image type %lld), which is not read; save it uncompressed true colour (type 2)",
                                    imageType);
  }
  if (bits != 24 && bits != 32) return Text("a TGA of %lld bits a pixel, which is not read (24 and 32 are)", bits);
  in.Skip(idLength);
  if (mapType != 0) in.Skip(static_cast<std::size_t>(mapLength) * ((mapEntryBits + 7u) / 8u));
  const std::size_t start = in.Ok() ? in.Position() : size;
  const std::size_t dataBytes = size - start;
  if (w == 0 || h == 0) return Text("a TGA of %lld x %lld pixels: nothing to draw", w, h);
  if (static_cast<std::uint64_t>(w) * h > dataBytes)
    return Text("cut off: %lld x %lld pixels, but only %lld bytes of pixel data", w, h, static_cast<long long>(dataBytes));
  return CutOff(dataBytes, static_cast<std::size_t>(bits / 8u) * w, h);
}

}  // namespace

std::string PictureFault(const std::uint8_t* data, std::size_t size, bool tga) {
  return tga ? TgaFault(data, size) : BmpFault(data, size);
}

int Image::DrawPicture(const BlitTarget& target, std::int32_t x, std::int32_t y) const {
  if (pixels.empty()) return 1;
  return BlitPicture(target, x, y, pixels.data(), width, height);
}

int BlitPicture(const BlitTarget& target, std::int32_t x, std::int32_t y, const std::uint32_t* pixels,
                std::int32_t w, std::int32_t h) {
  if (target.bits == nullptr || pixels == nullptr || w <= 0 || h <= 0) return 1;
  auto* base = static_cast<std::uint8_t*>(target.bits);
  for (std::int32_t i = 0; i < h; ++i) {
    const std::int64_t ty = static_cast<std::int64_t>(y) + i;
    const std::uint32_t* src = pixels + static_cast<std::size_t>(i) * static_cast<std::size_t>(w);
    if (ty < 0 || ty >= target.height) continue;
    // The row's 16-bit values start at (ty * pitch) / 2, as the device
    // addresses a locked surface.
    auto* row = reinterpret_cast<std::uint16_t*>(base) + (ty * target.pitch) / 2;
    for (std::int32_t j = 0; j < w; ++j) {
      const std::int64_t tx = static_cast<std::int64_t>(x) + j;
      if (tx < 0 || tx >= target.width) continue;
      ColourBytes c = ColourBytes::FromPixel(src[j]);
      if (c.alpha == 0) continue;
      if (c.alpha == 255) {
        row[tx] = c.ToRgb565();
        continue;
      }
      ColourBytes t = ColourBytes::FromRgb565(row[tx]);
      const int a = c.alpha, ia = 255 - a;
      c.red = static_cast<std::uint8_t>(t.red * ia / 255 + c.red * a / 255);
      c.green = static_cast<std::uint8_t>(t.green * ia / 255 + c.green * a / 255);
      c.blue = static_cast<std::uint8_t>(t.blue * ia / 255 + c.blue * a / 255);
      row[tx] = c.ToRgb565();
    }
  }
  return 1;
}
