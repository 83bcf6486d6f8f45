// GDI as the system calls it: text on device contexts, stock objects.
//
// Implemented: device contexts over 16-bit 5-6-5 pixel buffers (the surface
// DCs of IDirectDrawSurface7::GetDC and the tool's client area), SetBkMode,
// SetBkColor, SetTextColor and their getters, TextOutA and ExtTextOutA
// (ETO_OPAQUE, ETO_CLIPPED), GetTextExtentPoint32A, GetStockObject.
// Not implemented: fonts other than the default, mapping modes, text
// alignment other than TA_LEFT | TA_TOP, pens, bitmaps, regions.
//
// Text is code page 949, decoded with iconv; glyphs are GNU Unifont's
// (/usr/share/unifont/unifont.hex): 8 or 16 pixels wide and 16 high, the
// top-left of the first cell at (x, y). Without the font file every
// character is drawn as a box of its width (16 for Hangul and other wide
// scripts, 8 otherwise) and one warning goes to stderr.
//
// DC defaults, as a fresh display DC: OPAQUE background mode, black text,
// white background. Handles are small numbers; a call with a handle that
// names no DC fails (0, FALSE or CLR_INVALID) and never crashes.
#pragma once

#include <cstdint>

#include "windef.h"

using COLORREF = DWORD;
#define RGB(r, g, b)                                                                      \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>(c))
#define GetGValue(c) (static_cast<BYTE>((c) >> 8))
#define GetBValue(c) (static_cast<BYTE>((c) >> 16))
#define CLR_INVALID 0xFFFFFFFF

#define TRANSPARENT 1
#define OPAQUE 2
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE 15
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

int SetBkMode(HDC dc, int mode);  // the previous mode, 0 on failure
int GetBkMode(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF colour);  // the previous colour, CLR_INVALID on failure
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                 const INT* dx);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
// Stock objects are opaque handles; null for an index that names none.
HGDIOBJ GetStockObject(int index);

namespace tarn::win32 {

// A DC that draws into a 5-6-5 buffer the caller owns and keeps alive until
// DeleteBufferDc. Null when the buffer is null, a size is not positive or
// the pitch is below width x 2.
HDC CreateBufferDc(std::uint16_t* pixels, int width, int height, int pitchBytes);
void DeleteBufferDc(HDC dc);
// The number of buffer DCs not yet deleted.
int LiveBufferDcs();
// The colour of a stock brush (WHITE_BRUSH ... BLACK_BRUSH); false for any
// other object, NULL_BRUSH included.
bool StockBrushColour(HGDIOBJ object, COLORREF* colour);
// Where the glyphs come from; the default is /usr/share/unifont/unifont.hex.
// Setting a path drops the glyphs loaded so far (for tests).
void SetGlyphFontPath(const char* path);

}  // namespace tarn::win32
