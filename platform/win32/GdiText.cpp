// GDI text on 5-6-5 buffers: the DC table, the text calls, stock objects.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage/Cp949.h"
#include "platform/win32/UnifontGlyphs.h"

namespace tarn::win32 {
namespace {

struct BufferDc {
  bool used = false;
  std::uint16_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
  int bkMode = OPAQUE;
  COLORREF text = RGB(0, 0, 0);
  COLORREF background = RGB(255, 255, 255);
};

std::vector<BufferDc>& Dcs() {
  static std::vector<BufferDc> dcs;
  return dcs;
}

BufferDc* Find(HDC dc) {
  auto n = reinterpret_cast<std::uintptr_t>(dc);
  auto& dcs = Dcs();
  if (n == 0 || n > dcs.size() || !dcs[n - 1].used) return nullptr;
  return &dcs[n - 1];
}

struct Font {
  std::string path = "/usr/share/unifont/unifont.hex";
  bool tried = false;
  bool warned = false;
  UnifontGlyphs glyphs;
};
Font& TheFont() {
  static Font font;
  return font;
}
const UnifontGlyphs& Glyphs() {
  Font& f = TheFont();
  if (!f.tried) {
    f.tried = true;
    if (!f.glyphs.Load(f.path) && !f.warned) {
      f.warned = true;
      std::fprintf(stderr, "warning: no glyphs in %s; text is drawn as boxes\n", f.path.c_str());
    }
  }
  return f.glyphs;
}

std::uint16_t To565(COLORREF c) {
  return static_cast<std::uint16_t>((GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | (GetBValue(c) >> 3));
}

// East Asian wide characters when no font says otherwise.
bool WideByDefault(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6);
}

// The glyph of a code point: its width and rows; a box when the font lacks it.
int GlyphOf(char32_t cp, std::uint16_t rows[16]) {
  int w = Glyphs().Glyph(cp, rows);
  if (w) return w;
  w = WideByDefault(cp) ? 16 : 8;
  std::uint16_t side = static_cast<std::uint16_t>(0x8000u | (0x8000u >> (w - 1)));
  std::uint16_t full = static_cast<std::uint16_t>(w == 16 ? 0xFFFFu : 0xFF00u);
  for (int r = 0; r < 16; ++r) rows[r] = (r == 1 || r == 14) ? full : side;
  rows[0] = rows[15] = 0;
  return w;
}

struct Clip {
  int x0, y0, x1, y1;  // exclusive right and bottom
};

void Fill(BufferDc& d, const Clip& clip, int x0, int y0, int x1, int y1, std::uint16_t v) {
  x0 = std::max({x0, clip.x0, 0});
  y0 = std::max({y0, clip.y0, 0});
  x1 = std::min({x1, clip.x1, d.width});
  y1 = std::min({y1, clip.y1, d.height});
  for (int y = y0; y < y1; ++y) {
    auto* row = reinterpret_cast<std::uint16_t*>(reinterpret_cast<std::uint8_t*>(d.pixels) +
                                                 static_cast<std::ptrdiff_t>(y) * d.pitch);
    for (int x = x0; x < x1; ++x) row[x] = v;
  }
}

bool DrawString(BufferDc& d, int x, int y, const char* text, std::size_t length, const Clip& clip) {
  std::u32string points = codepage::Cp949ToCodePoints(std::string_view(text, length));
  std::uint16_t ink = To565(d.text), paper = To565(d.background);
  long long pen = x;
  for (char32_t cp : points) {
    if (pen > d.width + 16 && pen > clip.x1) break;  // the rest is off the right edge
    std::uint16_t rows[16];
    int w = GlyphOf(cp, rows);
    int gx = static_cast<int>(pen);
    if (d.bkMode == OPAQUE) Fill(d, clip, gx, y, gx + w, y + 16, paper);
    for (int r = 0; r < 16; ++r) {
      long long py = static_cast<long long>(y) + r;
      if (py < std::max(0, clip.y0) || py >= std::min(d.height, clip.y1)) continue;
      auto* row = reinterpret_cast<std::uint16_t*>(reinterpret_cast<std::uint8_t*>(d.pixels) +
                                                   static_cast<std::ptrdiff_t>(py) * d.pitch);
      std::uint16_t bits = rows[r];
      for (int c = 0; c < w; ++c) {
        long long px = pen + c;
        if (!(bits & (0x8000u >> c))) continue;
        if (px < std::max(0, clip.x0) || px >= std::min(d.width, clip.x1)) continue;
        row[px] = ink;
      }
    }
    pen += w;
  }
  return true;
}

}  // namespace

HDC CreateBufferDc(std::uint16_t* pixels, int width, int height, int pitchBytes) {
  if (!pixels || width <= 0 || height <= 0 || pitchBytes < width * 2) return nullptr;
  auto& dcs = Dcs();
  std::size_t slot = 0;
  while (slot < dcs.size() && dcs[slot].used) ++slot;
  if (slot == dcs.size()) dcs.emplace_back();
  BufferDc& d = dcs[slot];
  d = BufferDc{};
  d.used = true;
  d.pixels = pixels;
  d.width = width;
  d.height = height;
  d.pitch = pitchBytes;
  return reinterpret_cast<HDC>(slot + 1);
}

void DeleteBufferDc(HDC dc) {
  if (BufferDc* d = Find(dc)) *d = BufferDc{};
}

int LiveBufferDcs() {
  int n = 0;
  for (const BufferDc& d : Dcs()) n += d.used ? 1 : 0;
  return n;
}

void SetGlyphFontPath(const char* path) {
  Font& f = TheFont();
  f.path = path ? path : "/usr/share/unifont/unifont.hex";
  f.tried = false;
  f.warned = false;
  f.glyphs = UnifontGlyphs{};
}

namespace {
struct StockObject {
  int index;
};
// One static object per stock index; the handle is its address.
StockObject kStock[18] = {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}, {11}, {12}, {13}, {14}, {15}, {16}, {17}};
}  // namespace

bool StockBrushColour(HGDIOBJ object, COLORREF* colour) {
  static const COLORREF kBrushes[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                       RGB(64, 64, 64), RGB(0, 0, 0)};
  for (int i = 0; i < 5; ++i)
    if (object == &kStock[i]) {
      if (colour) *colour = kBrushes[i];
      return true;
    }
  return false;
}

}  // namespace tarn::win32

using tarn::win32::BufferDc;

int SetBkMode(HDC dc, int mode) {
  BufferDc* d = tarn::win32::Find(dc);
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = d->bkMode;
  d->bkMode = mode;
  return old;
}
int GetBkMode(HDC dc) {
  BufferDc* d = tarn::win32::Find(dc);
  return d ? d->bkMode : 0;
}
COLORREF SetTextColor(HDC dc, COLORREF colour) {
  BufferDc* d = tarn::win32::Find(dc);
  if (!d) return CLR_INVALID;
  COLORREF old = d->text;
  d->text = colour & 0x00FFFFFF;
  return old;
}
COLORREF GetTextColor(HDC dc) {
  BufferDc* d = tarn::win32::Find(dc);
  return d ? d->text : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF colour) {
  BufferDc* d = tarn::win32::Find(dc);
  if (!d) return CLR_INVALID;
  COLORREF old = d->background;
  d->background = colour & 0x00FFFFFF;
  return old;
}
COLORREF GetBkColor(HDC dc) {
  BufferDc* d = tarn::win32::Find(dc);
  return d ? d->background : CLR_INVALID;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  BufferDc* d = tarn::win32::Find(dc);
  if (!d || length < 0 || (length > 0 && !text)) return FALSE;
  tarn::win32::Clip all{0, 0, d->width, d->height};
  return tarn::win32::DrawString(*d, x, y, text, static_cast<std::size_t>(length), all) ? TRUE : FALSE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length, const INT*) {
  BufferDc* d = tarn::win32::Find(dc);
  if (!d || (length > 0 && !text)) return FALSE;
  tarn::win32::Clip clip{0, 0, d->width, d->height};
  if (rect && (options & ETO_OPAQUE))
    tarn::win32::Fill(*d, clip, rect->left, rect->top, rect->right, rect->bottom, tarn::win32::To565(d->background));
  if (rect && (options & ETO_CLIPPED)) clip = {rect->left, rect->top, rect->right, rect->bottom};
  if (length == 0) return TRUE;
  return tarn::win32::DrawString(*d, x, y, text, length, clip) ? TRUE : FALSE;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
  if (!tarn::win32::Find(dc) || !size || length < 0 || (length > 0 && !text)) return FALSE;
  std::u32string points = tarn::codepage::Cp949ToCodePoints(std::string_view(text, static_cast<std::size_t>(length)));
  LONG w = 0;
  for (char32_t cp : points) {
    std::uint16_t rows[16];
    w += tarn::win32::GlyphOf(cp, rows);
  }
  size->cx = w;
  size->cy = 16;
  return TRUE;
}

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= 18 || index == 9) return nullptr;
  return &tarn::win32::kStock[index];
}
