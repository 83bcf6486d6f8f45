// The configuration scan on arbitrary text: a size it accepts is one a
// display can take, and a refused text leaves the size as it was.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/app/ScreenConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LONG width = -5, height = -5;
  ConfigStatus status = ParseScreenConfig(std::string_view(reinterpret_cast<const char*>(data), size), width, height);
  if (status == ConfigStatus::kRead) {
    if (width <= 0 || height <= 0 || width > kLargestScreenSide || height > kLargestScreenSide) std::abort();
  } else if (width != -5 || height != -5) {
    std::abort();
  }
  return 0;
}
