// The configuration file "tarn.cfg": one word, then the screen width and
// height, read with "%s %d %d" across lines (tokens separated by any white
// space, line ends included; the word is dropped, whatever follows the
// height is not read).
//
// Choices of ours, for what a user expects from a file nobody checked:
//   - a missing or unreadable file, one that lacks the two numbers, or a
//     size no display can take (either number 0, negative or above 16384)
//     logs one "Error: " line to "Tarn.log" saying so, and the screen falls
//     back to 800 x 600;
//   - only the first 1 MiB of the file is read (the three tokens of a sane
//     file sit at its start; a word longer than 255 bytes is cut to fit and
//     consumed whole, as %s into the 256-byte buffer).
#pragma once

#include <cstddef>
#include <string_view>

#include <windows.h>

inline constexpr LONG kFallbackWidth = 800;
inline constexpr LONG kFallbackHeight = 600;
inline constexpr LONG kLargestScreenSide = 16384;

enum class ConfigStatus { kRead, kMissing, kIncomplete, kBadSize };

// Scans the text of a configuration file. On kRead, width and height hold
// the two numbers; otherwise they are untouched.
ConfigStatus ParseScreenConfig(std::string_view text, LONG& width, LONG& height);

// Reads the file at path (a system file name) into screen: left and top 0,
// right the width, bottom the height; falls back and logs as above.
// Returns the status of the read.
ConfigStatus ReadScreenConfig(const char* path, RECT& screen);
