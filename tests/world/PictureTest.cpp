// BMP and TGA readers, LoadPicture's endings and the blit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/picture/ColourBytes.h"
#include "engine/picture/Image.h"
#include "tests/world/WorldTestKit.h"

namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  v[at] = static_cast<std::uint8_t>(x);
  v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  Put16(v, at, x);
  Put16(v, at + 2, x >> 16);
}

// A BMP with the given header fields and pixel bytes (already padded).
std::vector<std::uint8_t> Bmp(std::int32_t w, std::int32_t h, int bits, const std::vector<std::uint8_t>& data,
                              std::uint32_t compression = 0) {
  // Sized once and filled in place: growing it with insert makes g++ 12 at
  // -O3 warn of a copy out of bounds that cannot happen (-Warray-bounds).
  std::vector<std::uint8_t> v(54 + data.size(), 0);
  v[0] = 'B', v[1] = 'M';
  Put32(v, 2, static_cast<std::uint32_t>(54 + data.size()));
  Put32(v, 10, 54);
  Put32(v, 14, 40);
  Put32(v, 18, static_cast<std::uint32_t>(w));
  Put32(v, 22, static_cast<std::uint32_t>(h));
  Put16(v, 26, 1);
  Put16(v, 28, static_cast<std::uint32_t>(bits));
  Put32(v, 30, compression);
  std::copy(data.begin(), data.end(), v.begin() + 54);
  return v;
}

std::vector<std::uint8_t> Tga(int w, int h, int bits, int type, std::uint8_t descriptor,
                              const std::vector<std::uint8_t>& data, std::uint8_t idLength = 0) {
  std::vector<std::uint8_t> v(18 + idLength + data.size(), 0);
  v[0] = idLength;
  v[2] = static_cast<std::uint8_t>(type);
  Put16(v, 12, static_cast<std::uint32_t>(w));
  Put16(v, 14, static_cast<std::uint32_t>(h));
  v[16] = static_cast<std::uint8_t>(bits);
  v[17] = descriptor;
  std::fill_n(v.begin() + 18, idLength, std::uint8_t{0xEE});
  std::copy(data.begin(), data.end(), v.begin() + 18 + idLength);
  return v;
}

TEST(ReadBmp, RowsArePaddedAndStoredBottomUp) {
  // 3 pixels of 24 bits: 9 bytes and 3 of padding per row; two rows.
  std::vector<std::uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xAA, 0xAA, 0xAA,
                                    10, 20, 30, 40, 50, 60, 70, 80, 90, 0xAA, 0xAA, 0xAA};
  std::vector<std::uint8_t> file = Bmp(3, 2, 24, data);
  Image img;
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0xFFFFFF), 1);
  ASSERT_EQ(img.width, 3);
  ASSERT_EQ(img.height, 2);
  // The first row of the file is the bottom row of the picture.
  EXPECT_EQ(img.pixels[3], 0xFF030201u);
  EXPECT_EQ(img.pixels[5], 0xFF090807u);
  EXPECT_EQ(img.pixels[0], 0xFF1E140Au);
  EXPECT_EQ(img.pixels[2], 0xFF5A5046u);
}

TEST(ReadBmp, EightBitsAreAlphaOverTheFillColour) {
  // 5 pixels of 8 bits: rows of 8 bytes.
  std::vector<std::uint8_t> data = {0x80, 0, 0, 0, 0xFF, 9, 9, 9, 1, 2, 3, 4, 5, 9, 9, 9};
  std::vector<std::uint8_t> file = Bmp(5, 2, 8, data);
  Image img;
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0xFFFFFF), 1);
  EXPECT_EQ(img.pixels[5], 0x80FFFFFFu);
  EXPECT_EQ(img.pixels[9], 0xFFFFFFFFu);
  EXPECT_EQ(img.pixels[4], 0x05FFFFFFu);
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0x123456), 1);
  EXPECT_EQ(img.pixels[5], 0x80123456u);
}

TEST(ReadBmp, FifteenBitsAndRefusedDepths) {
  std::vector<std::uint8_t> data = {0xFF, 0x7F, 0x1F, 0x00};  // 0x7FFF, 0x001F
  std::vector<std::uint8_t> file = Bmp(2, 1, 15, data);
  Image img;
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0xFFFFFF), 1);
  EXPECT_EQ(img.pixels[0], 0xFFF8F8F8u);
  EXPECT_EQ(img.pixels[1], 0xFF0000F8u);
  for (int bits : {1, 4, 16, 32}) {
    std::vector<std::uint8_t> f = Bmp(2, 1, bits, std::vector<std::uint8_t>(8, 0x55));
    EXPECT_EQ(img.ReadBmp(f.data(), f.size(), 0xFFFFFF), 0) << bits;
    EXPECT_TRUE(img.pixels.empty());
    EXPECT_EQ(img.width, 0);  // never sizes without pixels
  }
}

TEST(ReadBmp, NegativeHeightMeansTopDown) {
  std::vector<std::uint8_t> data = {1, 2, 3, 0, 4, 5, 6, 0};
  std::vector<std::uint8_t> file = Bmp(1, -2, 24, data);
  Image img;
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0xFFFFFF), 1);
  ASSERT_EQ(img.height, 2);
  EXPECT_EQ(img.pixels[0], 0xFF030201u);
  EXPECT_EQ(img.pixels[1], 0xFF060504u);
}

TEST(ReadBmp, RefusesWhatItCannotDecode) {
  Image img;
  std::vector<std::uint8_t> data(64, 7);
  std::vector<std::uint8_t> rle = Bmp(4, 4, 24, data, 1);
  EXPECT_EQ(img.ReadBmp(rle.data(), rle.size(), 0xFFFFFF), 0);
  std::vector<std::uint8_t> sig = Bmp(4, 4, 24, data);
  sig[0] = 'X';
  EXPECT_EQ(img.ReadBmp(sig.data(), sig.size(), 0xFFFFFF), 0);
  // Header sizes far beyond the file's data: refused before allocating.
  std::vector<std::uint8_t> huge = Bmp(65536, 65536, 24, data);
  EXPECT_EQ(img.ReadBmp(huge.data(), huge.size(), 0xFFFFFF), 0);
  std::vector<std::uint8_t> wide = Bmp(INT32_MAX, INT32_MIN, 8, data);
  EXPECT_EQ(img.ReadBmp(wide.data(), wide.size(), 0xFFFFFF), 0);
  std::vector<std::uint8_t> zero = Bmp(0, 4, 24, data);
  EXPECT_EQ(img.ReadBmp(zero.data(), zero.size(), 0xFFFFFF), 0);
  for (std::size_t cut = 0; cut < 54; cut += 7) EXPECT_EQ(img.ReadBmp(sig.data(), cut, 0xFFFFFF), 0);
}

TEST(ReadBmp, ShortFileLeavesMissingRowsZero) {
  // 4 x 4 of 24 bits: rows of 12 bytes; the file holds a row and a half.
  std::vector<std::uint8_t> data(18, 0x11);
  std::vector<std::uint8_t> file = Bmp(4, 4, 24, data);
  Image img;
  ASSERT_EQ(img.ReadBmp(file.data(), file.size(), 0xFFFFFF), 1);
  EXPECT_EQ(img.pixels[12], 0xFF111111u);  // bottom row, from the file
  EXPECT_EQ(img.pixels[8], 0xFF111111u);   // second row's first pixels
  EXPECT_EQ(img.pixels[11], 0u);           // its missing tail
  EXPECT_EQ(img.pixels[0], 0u);            // the top row never came
}

TEST(ReadTga, DepthsAlphaAndRowOrder) {
  std::vector<std::uint8_t> rows = {1, 2, 3, 0x40, 4, 5, 6, 0x80};
  std::vector<std::uint8_t> bottomUp = Tga(1, 2, 32, 2, 0x08, rows, 3);
  Image img;
  ASSERT_EQ(img.ReadTga(bottomUp.data(), bottomUp.size()), 1);
  EXPECT_EQ(img.pixels[1], 0x40030201u);  // first row read is the bottom row
  EXPECT_EQ(img.pixels[0], 0x80060504u);
  std::vector<std::uint8_t> topDown = Tga(1, 2, 32, 2, 0x28, rows);
  ASSERT_EQ(img.ReadTga(topDown.data(), topDown.size()), 1);
  EXPECT_EQ(img.pixels[0], 0x40030201u);
  std::vector<std::uint8_t> rgb = Tga(2, 1, 24, 2, 0, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(img.ReadTga(rgb.data(), rgb.size()), 1);
  EXPECT_EQ(img.pixels[1], 0xFF060504u);
  std::vector<std::uint8_t> sixteen = Tga(2, 1, 16, 2, 0, {1, 2, 3, 4});
  EXPECT_EQ(img.ReadTga(sixteen.data(), sixteen.size()), 0);
  std::vector<std::uint8_t> rle = Tga(2, 1, 24, 10, 0, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(img.ReadTga(rle.data(), rle.size()), 0);
  std::vector<std::uint8_t> huge = Tga(65535, 65535, 32, 2, 0, {1, 2, 3, 4});
  EXPECT_EQ(img.ReadTga(huge.data(), huge.size()), 0);
  EXPECT_TRUE(img.pixels.empty());
}

TEST(LoadPicture, EndingsAndMissingFiles) {
  ScratchFolder scratch;
  std::vector<std::uint8_t> bmp = Bmp(1, 1, 24, {1, 2, 3, 0});
  std::string bytes(bmp.begin(), bmp.end());
  for (const char* name : {"a.bmp", "b.Bmp", "c.BMP", "d.bMp", "e.jpg"}) WriteFile(name, bytes);
  std::vector<std::uint8_t> tga = Tga(1, 1, 24, 2, 0, {1, 2, 3});
  for (const char* name : {"f.tga", "g.Tga", "h.TGA"}) WriteFile(name, std::string(tga.begin(), tga.end()));
  for (const char* name : {"a.bmp", "b.Bmp", "c.BMP", "f.tga", "g.Tga", "h.TGA"}) {
    Image img;
    EXPECT_EQ(img.LoadPicture(name), 1) << name;
    EXPECT_EQ(img.width, 1) << name;
  }
  for (const char* name : {"d.bMp", "e.jpg"}) {
    Image img;
    EXPECT_EQ(img.LoadPicture(name), 1) << name;
    EXPECT_TRUE(img.pixels.empty()) << name;
  }
  Image kept;
  ASSERT_EQ(kept.LoadPicture("a.bmp"), 1);
  EXPECT_EQ(kept.LoadPicture("missing.bmp"), 0);
  EXPECT_EQ(kept.width, 1);  // unchanged
  WriteFile("bad.bmp", "not a picture");
  EXPECT_EQ(kept.LoadPicture("bad.bmp"), 0);
  EXPECT_EQ(kept.LoadPicture("x"), 0);  // does not exist
  WriteFile("ab", "x");
  EXPECT_EQ(kept.LoadPicture("ab"), 1);
}

struct Target {
  int w, h, pitchPixels;
  std::vector<std::uint16_t> memory;
  Target(int width, int height, int pitch) : w(width), h(height), pitchPixels(pitch), memory(static_cast<std::size_t>(pitch * height), 0) {}
  BlitTarget View() { return BlitTarget{memory.data(), pitchPixels * 2, w, h}; }
  std::uint16_t At(int x, int y) const { return memory[static_cast<std::size_t>(y * pitchPixels + x)]; }
};

TEST(BlitPicture, BlendsOpaqueTransparentAndHalf) {
  Target t(4, 2, 6);  // a pitch wider than the rows
  t.memory.assign(t.memory.size(), 0x07E0);  // green target
  std::uint32_t pixels[3] = {0x80FF0000u, 0xFF0000FFu, 0x00FFFFFFu};
  BlitPicture(t.View(), 0, 1, pixels, 3, 1);
  ColourBytes half = ColourBytes::FromRgb565(t.At(0, 1));
  // 0 * 127 / 255 + 255 * 128 / 255 = 128 for red; green 252 * 127 / 255 = 125.
  EXPECT_EQ(half.red, 128 & 0xF8);
  EXPECT_EQ(half.green, (252 * 127 / 255) & 0xFC);
  EXPECT_EQ(t.At(1, 1), 0x001F);
  EXPECT_EQ(t.At(2, 1), 0x07E0);  // alpha 0 leaves the target
  EXPECT_EQ(t.At(0, 0), 0x07E0);
  EXPECT_EQ(t.memory[4], 0x07E0);  // beyond the row, in the pitch
}

TEST(BlitPicture, ClipsPixelByPixel) {
  Target t(3, 3, 3);
  std::vector<std::uint32_t> white(4, 0xFFFFFFFFu);
  BlitPicture(t.View(), 2, -1, white.data(), 2, 2);
  EXPECT_EQ(t.At(2, 0), 0xFFFF);
  int touched = 0;
  for (std::uint16_t v : t.memory) touched += v != 0;
  EXPECT_EQ(touched, 1);
  std::vector<std::uint16_t> before = t.memory;
  for (auto [x, y] : {std::pair{3, 0}, {-2, 0}, {0, 3}, {0, -2}, {INT32_MAX, 0}, {INT32_MIN, INT32_MIN}})
    BlitPicture(t.View(), x, y, white.data(), 2, 2);
  EXPECT_EQ(t.memory, before);
  Image empty;
  EXPECT_EQ(empty.DrawPicture(t.View(), 0, 0), 1);
  EXPECT_EQ(t.memory, before);
}

// Real files: every one is read or refused without a crash, and what is
// read has the header's size.
TEST(RealPictures, EveryFileLoadsOrIsRefused) {
  int read = 0, refused = 0;
  for (const std::string& dirName : {TestData("bmp"), TestData("tga")}) {
    const char* dir = dirName.c_str();
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::vector<std::uint8_t> file;
      ASSERT_TRUE(ReadWholeFile(entry.path().c_str(), file, 1u << 30));
      Image img;
      const bool tga = std::string(dir).find("tga") != std::string::npos;
      int ok = tga ? img.ReadTga(file.data(), file.size()) : img.ReadBmp(file.data(), file.size(), 0xFFFFFF);
      if (ok) {
        ++read;
        ASSERT_GE(file.size(), 26u);
        int w = tga ? file[12] | file[13] << 8 : static_cast<int>(file[18] | file[19] << 8 | file[20] << 16 | file[21] << 24);
        EXPECT_EQ(img.width, w) << entry.path();
        EXPECT_EQ(img.pixels.size(), static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height));
      } else {
        ++refused;
        EXPECT_TRUE(img.pixels.empty());
      }
    }
  }
  EXPECT_GT(read, 10);
  EXPECT_GT(refused, 10);
}

Image LoadTestPicture(const std::string& name) {
  Image img;
  std::string path = TestData(name);
  EXPECT_EQ(img.LoadPicture(path.c_str()), 1) << name;
  return img;
}

TEST(RealPictures, RowOrderVariantsAgree) {
  // The same picture stored bottom-up and top-down must read the same.
  Image a = LoadTestPicture("bmp/imgrs_Info_R8_G8_B8.bmp");
  Image b = LoadTestPicture("bmp/imgrs_Info_R8_G8_B8_Top_Down.bmp");
  ASSERT_FALSE(a.pixels.empty());
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.pixels, b.pixels);
  Image c = LoadTestPicture("tga/pil_200x32_rgb_bl_raw.tga");
  Image e = LoadTestPicture("tga/pil_200x32_rgba_bl_raw.tga");
  Image f = LoadTestPicture("tga/pil_200x32_rgba_tl_raw.tga");
  ASSERT_EQ(e.width, 200);
  ASSERT_EQ(e.height, 32);
  EXPECT_EQ(e.pixels, f.pixels);
  // Its colour is that of the 24-bit file where it is opaque.
  ASSERT_EQ(c.pixels.size(), e.pixels.size());
  int opaque = 0;
  for (std::size_t i = 0; i < e.pixels.size(); ++i) {
    if ((e.pixels[i] >> 24) == 255) {
      ++opaque;
      EXPECT_EQ(e.pixels[i], c.pixels[i]) << i;
    }
  }
  EXPECT_GT(opaque, 100);
  // Known pixels, read from the files' bytes by hand.
  EXPECT_EQ(f.pixels[0], 0xFF092904u);
  EXPECT_EQ(f.pixels[199], 0xFF5F9A14u);
  EXPECT_EQ(f.pixels[200 * 31 + 5], 0xFF063902u);
  Image g = LoadTestPicture("bmp/pil_g_rgb24.bmp");
  ASSERT_EQ(g.width, 127);
  ASSERT_EQ(g.height, 64);
  EXPECT_EQ(g.pixels[0], 0xFFFF0000u);
  EXPECT_EQ(g.pixels[127 * 64 - 1], 0xFF60607Eu);
  EXPECT_EQ(g.pixels[127 * 9 + 17], 0xFFDB8C8Cu);
}

}  // namespace
