// Golden pictures are written as the replay writes its shots; read back
// with libpng's simplified API.
#include "tests/render/Png.h"

#include <png.h>

#include <cstring>

#include "platform/hosts/headless/PngFile.h"

namespace tarn::test {

bool WritePng565(const std::string& path, const std::vector<std::uint16_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return false;
  std::string error;
  return hosts::WritePng565(path, pixels.data(), width * 2, width, height, error);
}

bool ReadPng565(const std::string& path, std::vector<std::uint16_t>* pixels, int* width, int* height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  if (image.width > 8192 || image.height > 8192) {
    png_image_free(&image);
    return false;
  }
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  pixels->resize(static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height));
  for (std::size_t i = 0; i < pixels->size(); ++i)
    (*pixels)[i] = static_cast<std::uint16_t>((rgb[i * 3] >> 3) << 11 | (rgb[i * 3 + 1] >> 2) << 5 | (rgb[i * 3 + 2] >> 3));
  return true;
}

}  // namespace tarn::test
