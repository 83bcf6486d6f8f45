// Image: one picture as 32-bit 0xAARRGGBB pixels, row by row, top row first.
// A new Image is empty (0 x 0, no pixels); loading into an Image gives it a
// new pixel array.
//
// Readers (Picture.cpp). Each takes memory (for tests and fuzzing) or a file
// name (opened "rb" through the ANSI file layer) and returns 1 or 0.
//   - ReadBmp: 8 bits (the byte is alpha, the colour is the fill colour),
//     15 bits (x-5-5-5) and 24 bits. Refused (0): no "BM" signature, a
//     compression other than none, any other depth, width <= 0, height 0,
//     more than 2^28 pixels, or more pixels than the file has bytes of pixel
//     data (such a header cannot describe this file). A negative height means
//     the rows are stored top row first. Rows the file is too short to hold
//     stay 0 (transparent black).
//   - ReadTga: uncompressed true colour (image type 2), 24 or 32 bits; the
//     identification field and a colour map, if the header announces one,
//     are skipped. Bit 5 of byte 17 set means the first row is the top row;
//     clear, the bottom row. Refused: any other type or depth, a zero size,
//     more than 2^28 pixels or more pixels than data bytes. Short files as
//     for BMP.
//   - A refused file leaves the image empty (0 x 0, no pixels), never sizes
//     without pixels, so that nothing downstream reads pixels that are not
//     there.
//   - LoadPicture: 0 when the file does not exist (the image is unchanged);
//     by the last three characters of the name, "bmp"/"Bmp"/"BMP" read a
//     BMP with the fill colour 0xFFFFFF and "tga"/"Tga"/"TGA" a TGA (0 when
//     the reader refuses); any other ending, or a name shorter than three
//     characters, loads nothing and returns 1.
//   - PictureFault says, for the log, why a file is refused or that it is
//     cut off; LoadPicture fills it in as it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The locked 16-bit 5-6-5 render target a picture is blended into: its
// memory, bytes per row, and the device size that clips the blit.
struct BlitTarget {
  void* bits = nullptr;
  std::int32_t pitch = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;  // width * height entries, or none

  static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

  int LoadPicture(const char* name);
  // The same; *why (when given) receives PictureFault's text for the file
  // ("" for a picture read whole, or an ending that loads nothing).
  int LoadPicture(const char* name, std::string* why);
  int ReadBmp(const char* name, std::uint32_t fillColour);
  int ReadTga(const char* name);
  int ReadBmp(const std::uint8_t* data, std::size_t size, std::uint32_t fillColour);
  int ReadTga(const std::uint8_t* data, std::size_t size);

  // Blends the picture with its top-left corner at (x, y) into the target;
  // nothing for an empty image. Returns 1.
  int DrawPicture(const BlitTarget& target, std::int32_t x, std::int32_t y) const;

 private:
  void Clear();
};

// The blit: each source pixel in order, clipped to the target's size; alpha
// 0 is skipped without touching the target, 255 is stored, anything between
// is blended per channel in integers as C' * (255 - A) / 255 + C * A / 255.
// A null target or a pixel array shorter than w * h draws nothing. Returns 1.
int BlitPicture(const BlitTarget& target, std::int32_t x, std::int32_t y, const std::uint32_t* pixels,
                std::int32_t w, std::int32_t h);

// Why the readers refuse these bytes, in words for a log line: "PNG data,
// not a BMP picture", "a run-length TGA (image type 10), which is not read",
// or, for a picture they take that the file holds only in part, "cut off at
// row R of H; the rest is transparent black" (R counts the rows in the order
// the file stores them, from 1). "" when the picture is read whole.
std::string PictureFault(const std::uint8_t* data, std::size_t size, bool tga);

// A 64-bit digest of the picture's size and pixels: two reads of the same
// file give the same value, a changed picture almost surely another.
std::uint64_t PictureHash(const Image& picture);

// Reads a whole file (ANSI name, "rb") into `out`. False when it cannot be
// opened or read, or is larger than `limit` bytes.
bool ReadWholeFile(const char* name, std::vector<std::uint8_t>& out, std::size_t limit);
