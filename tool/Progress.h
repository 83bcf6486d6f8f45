// A progress report for long conversions: called with the bytes of input
// read so far, about every 4 MB, and once more when the input has been read
// to its end. Empty means no reports.
#pragma once

#include <cstddef>
#include <functional>

namespace tarn::tool {

using ProgressHook = std::function<void(std::size_t bytesRead)>;
inline constexpr std::size_t kProgressStep = std::size_t{4} << 20;

}  // namespace tarn::tool
