// Procedural textures and the picture writers of the sample world.
#include "sample/SamplePictures.h"

#include <cmath>
#include <cstdio>

namespace sample {

float Hash(int x, int y, int salt) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(salt) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

namespace {
int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
}  // namespace

std::uint32_t Rgb(int r, int g, int b, int a) {
  return static_cast<std::uint32_t>(Clamp(a)) << 24 | static_cast<std::uint32_t>(Clamp(r)) << 16 |
         static_cast<std::uint32_t>(Clamp(g)) << 8 | static_cast<std::uint32_t>(Clamp(b));
}

std::uint32_t Shade(std::uint32_t c, float k) {
  auto ch = [&](int s) { return static_cast<int>(static_cast<float>((c >> s) & 255) * k); };
  return Rgb(ch(16), ch(8), ch(0), static_cast<int>(c >> 24));
}

void Bricks(Canvas& c, int x0, int y0, int x1, int y1, std::uint32_t brick) {
  const int bh = 8, bw = 16;
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    const int row = y / bh;
    const int xs = x + (row % 2) * (bw / 2);
    const bool mortar = y % bh == 0 || xs % bw == 0;
    if (mortar) return Rgb(178, 172, 160);
    const float k = 0.8f + 0.25f * Hash(xs / bw, row, 1) + 0.08f * Hash(x, y, 2);
    return Shade(brick, k);
  });
}

void RoofTiles(Canvas& c, int x0, int y0, int x1, int y1) {
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    const int row = y / 6;
    const int xs = x + (row % 2) * 4;
    const float curve = 0.7f + 0.3f * std::sin(static_cast<float>(xs % 8) / 8.0f * 3.14159f);
    const float edge = y % 6 == 5 ? 0.55f : 1.0f;
    const float k = curve * edge * (0.85f + 0.2f * Hash(xs / 8, row, 3));
    return Shade(Rgb(150, 62, 40), k);
  });
}

void Door(Canvas& c, int x0, int y0, int x1, int y1) {
  const int w = x1 - x0, h = y1 - y0;
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    if (x < 2 || x >= w - 2 || y < 2) return Rgb(60, 40, 25);  // frame
    const float plank = x % 8 == 0 ? 0.6f : 1.0f;
    const float grain = 0.85f + 0.15f * Hash(x, y / 5, 4);
    if (x > w - 8 && x < w - 4 && y > h / 2 - 2 && y < h / 2 + 2) return Rgb(210, 190, 60);  // handle
    return Shade(Rgb(120, 78, 44), plank * grain);
  });
}

void Window(Canvas& c, int x0, int y0, int x1, int y1, int glassAlpha) {
  const int w = x1 - x0, h = y1 - y0;
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    if (x < 2 || x >= w - 2 || y < 2 || y >= h - 2 || x == w / 2 || y == h / 2) return Rgb(235, 232, 220);
    const float sky = 0.75f + 0.25f * static_cast<float>(y) / static_cast<float>(h);
    return Rgb(static_cast<int>(90 * sky), static_cast<int>(140 * sky), static_cast<int>(200 * sky), glassAlpha);
  });
}

void Grass(Canvas& c) {
  c.Fill(0, 0, c.width, c.height, [&](int x, int y) {
    const float coarse = Hash(x / 8, y / 8, 5), fine = Hash(x, y, 6);
    const float k = 0.7f + 0.2f * coarse + 0.25f * fine;
    return Shade(Rgb(70, 130, 45), k);
  });
}

void Stone(Canvas& c) {
  c.Fill(0, 0, c.width, c.height, [&](int x, int y) {
    const int row = y / 16;
    const int xs = x + (row % 2) * 8;
    if (y % 16 == 0 || xs % 16 == 0) return Rgb(80, 78, 74);
    const float k = 0.8f + 0.2f * Hash(xs / 16, row, 7) + 0.1f * Hash(x, y, 8);
    return Shade(Rgb(160, 156, 148), k);
  });
}

void Bark(Canvas& c, int x0, int y0, int x1, int y1) {
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    const float stripe = 0.7f + 0.3f * Hash(x / 3, y / 12, 9);
    return Shade(Rgb(96, 66, 40), stripe);
  });
}

void Leaves(Canvas& c, int x0, int y0, int x1, int y1) {
  const int w = x1 - x0, h = y1 - y0;
  c.Fill(x0, y0, x1, y1, [&](int x, int y) {
    // Clumps of leaves; the margin is transparent so the outline is ragged.
    const float dx = (static_cast<float>(x) - w / 2.0f) / (w / 2.0f), dy = (static_cast<float>(y) - h / 2.0f) / (h / 2.0f);
    const float r = dx * dx + dy * dy;
    const float n = Hash(x / 3, y / 3, 10);
    if (r > 0.85f + 0.3f * n) return Rgb(40, 90, 30, 0);
    const float k = 0.6f + 0.5f * Hash(x / 2, y / 2, 11);
    return Shade(Rgb(50, 115, 40), k);
  });
}

namespace {
void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x);
  Put16(v, x >> 16);
}
bool Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
}  // namespace

bool WriteBmp24(const std::string& path, const Canvas& c) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(c.width) * 3u + 3u) & ~3u;
  const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(c.height);
  std::vector<std::uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + dataBytes);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, static_cast<std::uint32_t>(c.width));
  Put32(v, static_cast<std::uint32_t>(c.height));
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, dataBytes);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (int y = c.height - 1; y >= 0; --y) {  // bottom row first
    for (int x = 0; x < c.width; ++x) {
      const std::uint32_t p = c.pixels[static_cast<std::size_t>(y * c.width + x)];
      v.push_back(static_cast<std::uint8_t>(p));
      v.push_back(static_cast<std::uint8_t>(p >> 8));
      v.push_back(static_cast<std::uint8_t>(p >> 16));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(c.width) * 3u; pad < rowBytes; ++pad) v.push_back(0);
  }
  return Save(path, v);
}

bool WriteTga32(const std::string& path, const Canvas& c, bool topFirst) {
  std::vector<std::uint8_t> v(18, 0);
  v[2] = 2;
  v[12] = static_cast<std::uint8_t>(c.width), v[13] = static_cast<std::uint8_t>(c.width >> 8);
  v[14] = static_cast<std::uint8_t>(c.height), v[15] = static_cast<std::uint8_t>(c.height >> 8);
  v[16] = 32;
  v[17] = static_cast<std::uint8_t>(8 | (topFirst ? 0x20 : 0));
  for (int r = 0; r < c.height; ++r) {
    const int y = topFirst ? r : c.height - 1 - r;
    for (int x = 0; x < c.width; ++x) Put32(v, c.pixels[static_cast<std::size_t>(y * c.width + x)]);
  }
  return Save(path, v);
}

}  // namespace sample
