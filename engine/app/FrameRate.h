// The frame-rate measurement of the HUD and its text.
//
// A window opens at lastTick; the frame whose GetTickCount reading is more
// than 1000 ms after it closes the window: the rate becomes the frames of
// the window (that frame included) times 1000 over its length, and a fresh
// reading opens the next window. Between closings the rate stays.
#pragma once

#include <cstddef>
#include <cstdint>

struct FrameRateState {
  float framesPerSecond = 0.0f;
  std::int32_t frameCount = 0;
  std::uint32_t lastTick = 0;
};

// Counts one frame with GetTickCount's clock; returns framesPerSecond.
float AdvanceFrameRate(float& framesPerSecond, std::int32_t& frameCount, std::uint32_t& lastTick);

// "%.2f" of the rate into a 12-byte buffer. A rate that does not fit
// (100000000 or more, or an infinite one) shows as many characters as fit,
// always NUL-terminated; nothing is written past the buffer.
inline constexpr std::size_t kFrameRateText = 12;
void FormatFrameRate(float framesPerSecond, char (&text)[kFrameRateText]);
