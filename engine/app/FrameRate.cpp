// The frame-rate window and its text.
#include "engine/app/FrameRate.h"

#include <cstdio>

#include <windows.h>

float AdvanceFrameRate(float& framesPerSecond, std::int32_t& frameCount, std::uint32_t& lastTick) {
  ++frameCount;
  const std::uint32_t elapsed = GetTickCount() - lastTick;  // unsigned: survives the 49-day wrap
  if (elapsed > 1000) {
    const std::int64_t frames = static_cast<std::int64_t>(frameCount) * 1000;
    framesPerSecond = static_cast<float>(static_cast<double>(frames) / elapsed);
    lastTick = GetTickCount();
    frameCount = 0;
  }
  return framesPerSecond;
}

void FormatFrameRate(float framesPerSecond, char (&text)[kFrameRateText]) {
  // snprintf cuts a long rate to the buffer; the cut is the text we show.
  const int written = std::snprintf(text, sizeof text, "%.2f", static_cast<double>(framesPerSecond));
  if (written < 0) text[0] = '\0';
}
