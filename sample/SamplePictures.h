// The sample world's pictures, drawn procedurally and written as 24-bit BMP
// or 32-bit TGA files. Every picture is the same on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct Canvas {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first
  Canvas(int w, int h, std::uint32_t fill) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), fill) {}
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  // Fills a rectangle of the canvas (x0 <= x < x1) with a colour function.
  template <class F>
  void Fill(int x0, int y0, int x1, int y1, F colour) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) At(x, y) = colour(x - x0, y - y0);
  }
};

// A value in [0, 1) that depends only on its arguments.
float Hash(int x, int y, int salt);
std::uint32_t Rgb(int r, int g, int b, int a = 255);
// Scales a colour's brightness by `k` (alpha kept).
std::uint32_t Shade(std::uint32_t c, float k);

void Bricks(Canvas& c, int x0, int y0, int x1, int y1, std::uint32_t brick);
void RoofTiles(Canvas& c, int x0, int y0, int x1, int y1);
void Door(Canvas& c, int x0, int y0, int x1, int y1);
void Window(Canvas& c, int x0, int y0, int x1, int y1, int glassAlpha);
void Grass(Canvas& c);
void Stone(Canvas& c);
void Bark(Canvas& c, int x0, int y0, int x1, int y1);
void Leaves(Canvas& c, int x0, int y0, int x1, int y1);

bool WriteBmp24(const std::string& path, const Canvas& c);
// topFirst sets the origin bit (rows stored from the top).
bool WriteTga32(const std::string& path, const Canvas& c, bool topFirst);

}  // namespace sample
