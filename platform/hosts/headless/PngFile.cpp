// 5-6-5 pixels to PNG through libpng.
#include "platform/hosts/headless/PngFile.h"

#include <png.h>

#include "platform/codepage/Cp949.h"
#include "platform/files/OutputFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarn::hosts {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}
void NoFlush(png_structp) {}

// libpng reports errors by longjmp; keep everything it can skip over plain.
bool Encode(const std::vector<png_bytep>& rows, int width, int height, int colourType, std::vector<std::uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng565(const std::string& path, const std::uint16_t* pixels, int pitchBytes, int width, int height,
                 std::string& error) {
  if (pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 2) {
    error = "no picture to write to " + path;
    return false;
  }
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = rgb.data() + static_cast<std::size_t>(y) * width * 3;
    rows[static_cast<std::size_t>(y)] = out;
    for (int x = 0; x < width; ++x) {
      std::uint16_t p;
      std::memcpy(&p, bytes + static_cast<std::size_t>(y) * pitchBytes + x * 2, 2);
      const unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
      out[x * 3 + 0] = static_cast<std::uint8_t>((r << 3) | (r >> 2));
      out[x * 3 + 1] = static_cast<std::uint8_t>((g << 2) | (g >> 4));
      out[x * 3 + 2] = static_cast<std::uint8_t>((b << 3) | (b >> 2));
    }
  }
  std::vector<std::uint8_t> png;
  if (!Encode(rows, width, height, PNG_COLOR_TYPE_RGB, png)) {
    error = "cannot write " + path;
    return false;
  }
  // Whole or not at all: a shot cut short by a full disk or a signal would
  // otherwise stay behind as a broken picture under the name of a good one.
  // The file layer takes the system's names; the host's come back unchanged.
  files::OutputFile file;
  if (!file.Open(codepage::Utf8ToCp949(path))) {
    error = "cannot write " + path + ": " + file.Error();
    return false;
  }
  if (std::fwrite(png.data(), 1, png.size(), file.Stream()) != png.size()) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!file.Commit()) {
    error = "cannot write " + path + ": " + file.Error();
    return false;
  }
  return true;
}

bool EncodePngRgba(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& out) {
  if (rgba == nullptr || width <= 0 || height <= 0) return false;
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (std::size_t y = 0; y < rows.size(); ++y)
    rows[y] = const_cast<png_bytep>(rgba + y * static_cast<std::size_t>(width) * 4);
  std::vector<std::uint8_t> png;
  if (!Encode(rows, width, height, PNG_COLOR_TYPE_RGB_ALPHA, png)) return false;
  out = std::move(png);
  return true;
}

}  // namespace tarn::hosts
