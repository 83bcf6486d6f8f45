// IDirectDrawSurface7 over ordinary memory.
#include <algorithm>
#include <cstring>

#include "platform/ddraw/Objects.h"

namespace tarn::ddraw {
namespace {

int ShiftOf(DWORD mask) {
  if (!mask) return 0;
  int s = 0;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++s;
  }
  return s;
}
int BitsOf(DWORD mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}
// A channel of `bits` bits widened to 8 by repeating its top bits.
std::uint32_t Widen(std::uint32_t v, int bits) {
  if (bits <= 0) return 255;
  if (bits >= 8) return v >> (bits - 8);
  std::uint32_t out = v << (8 - bits);
  for (int have = bits; have < 8; have += bits) out |= out >> bits;
  return out & 255;
}

}  // namespace

Surface::Surface(int width, int height, const DDPIXELFORMAT& format, const DDSCAPS2& caps, int pitchPadding)
    : width_(width), height_(height), format_(format), caps_(caps) {
  bytesPerPixel_ = static_cast<int>(format.dwRGBBitCount / 8);
  if (bytesPerPixel_ != 2 && bytesPerPixel_ != 4) bytesPerPixel_ = 2;
  int padding = (pitchPadding + bytesPerPixel_ - 1) / bytesPerPixel_ * bytesPerPixel_;
  pitch_ = (width * bytesPerPixel_ + 3) / 4 * 4 + padding;
  std::size_t bytes = static_cast<std::size_t>(pitch_) * static_cast<std::size_t>(height);
  memory_.assign((bytes + 63) / 64, Line{});
}

Surface::~Surface() {
  FlushDevices();  // queued drawing may still read this surface
  if (dc_) tarn::win32::DeleteBufferDc(dc_);
  if (attachedZ_) attachedZ_->Release();
  if (clipper_) clipper_->Release();
  if (Primary() == this) SetPrimary(nullptr);
}

bool Surface::IsRgb565() const { return SameFormat(format_, FormatRgb565()); }

void Surface::Changed() {
  ++version_;
  if (Primary() == this) PresentPrimary();
}

HRESULT Surface::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IDirectDrawSurface7)) return E_NOINTERFACE;
  AddRef();
  *object = static_cast<IDirectDrawSurface7*>(this);
  return S_OK;
}

HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::AddAttachedSurface")) return hr;
  auto* z = dynamic_cast<Surface*>(surface);
  if (!z || z == this) return DDERR_INVALIDPARAMS;
  if (!z->IsZBuffer() || IsZBuffer() || z->width_ != width_ || z->height_ != height_)
    return DDERR_CANNOTATTACHSURFACE;
  if (attachedZ_) return DDERR_SURFACEALREADYATTACHED;
  z->AddRef();
  attachedZ_ = z;
  return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) {
  if (surface) *surface = nullptr;
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetAttachedSurface")) return hr;
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  // A primary made by this layer never has a flipping chain, so back
  // buffers are never found.
  if ((caps->dwCaps & DDSCAPS_ZBUFFER) && attachedZ_ && !(caps->dwCaps & DDSCAPS_BACKBUFFER)) {
    attachedZ_->AddRef();
    *surface = attachedZ_;
    return DD_OK;
  }
  return DDERR_NOTFOUND;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags,
                     LPDDBLTFX effects) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::Blt")) return hr;
  if (Busy()) return DDERR_SURFACEBUSY;
  FlushDevices();
  RECT full{0, 0, width_, height_};
  RECT d = destRect ? *destRect : full;
  if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
  // The clipper keeps the blit inside the surface (the full-screen window
  // covers the whole display); without one the rectangle must fit.
  RECT clipped = d;
  if (clipper_) {
    clipped.left = std::max<LONG>(d.left, 0);
    clipped.top = std::max<LONG>(d.top, 0);
    clipped.right = std::min<LONG>(d.right, width_);
    clipped.bottom = std::min<LONG>(d.bottom, height_);
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return DD_OK;  // wholly clipped
  } else if (d.left < 0 || d.top < 0 || d.right > width_ || d.bottom > height_) {
    return DDERR_INVALIDRECT;
  }
  std::uint8_t* bits = Bits();
  if (flags & DDBLT_COLORFILL) {
    if (!effects || effects->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    for (LONG y = clipped.top; y < clipped.bottom; ++y) {
      std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch_;
      for (LONG x = clipped.left; x < clipped.right; ++x) {
        if (bytesPerPixel_ == 2) {
          std::uint16_t v = static_cast<std::uint16_t>(effects->dwFillColor);
          std::memcpy(row + x * 2, &v, 2);
        } else {
          std::memcpy(row + x * 4, &effects->dwFillColor, 4);
        }
      }
    }
    Changed();
    return DD_OK;
  }
  auto* src = dynamic_cast<Surface*>(source);
  if (!src) return DDERR_INVALIDPARAMS;
  if (src != this && src->Busy()) return DDERR_SURFACEBUSY;
  if (src->bytesPerPixel_ != bytesPerPixel_ || src->IsZBuffer() != IsZBuffer()) return DDERR_INVALIDPIXELFORMAT;
  RECT s = sourceRect ? *sourceRect : RECT{0, 0, src->width_, src->height_};
  if (s.left < 0 || s.top < 0 || s.right > src->width_ || s.bottom > src->height_ || s.left >= s.right ||
      s.top >= s.bottom)
    return DDERR_INVALIDRECT;
  long long dw = d.right - d.left, dh = d.bottom - d.top, sw = s.right - s.left, sh = s.bottom - s.top;
  // Point sampling: destination i takes source floor(i x srcW / dstW),
  // counted from the unclipped rectangle so that clipping moves nothing.
  std::vector<std::uint8_t> copy;
  const std::uint8_t* srcBits = src->Bits();
  if (src == this) {
    copy.assign(srcBits, srcBits + static_cast<std::size_t>(pitch_) * static_cast<std::size_t>(height_));
    srcBits = copy.data();
  }
  std::vector<int> columns(static_cast<std::size_t>(clipped.right - clipped.left));
  for (LONG x = clipped.left; x < clipped.right; ++x)
    columns[static_cast<std::size_t>(x - clipped.left)] = static_cast<int>(s.left + (x - d.left) * sw / dw);
  int bpp = bytesPerPixel_;
  for (LONG y = clipped.top; y < clipped.bottom; ++y) {
    long long sy = s.top + (y - d.top) * sh / dh;
    const std::uint8_t* srow = srcBits + static_cast<std::ptrdiff_t>(sy) * src->pitch_;
    std::uint8_t* drow = bits + static_cast<std::ptrdiff_t>(y) * pitch_;
    if (sw == dw) {
      std::memcpy(drow + clipped.left * bpp, srow + columns[0] * bpp,
                  static_cast<std::size_t>(clipped.right - clipped.left) * static_cast<std::size_t>(bpp));
    } else if (bpp == 2) {
      for (std::size_t i = 0; i < columns.size(); ++i)
        std::memcpy(drow + (clipped.left + static_cast<LONG>(i)) * 2, srow + columns[i] * 2, 2);
    } else {
      for (std::size_t i = 0; i < columns.size(); ++i)
        std::memcpy(drow + (clipped.left + static_cast<LONG>(i)) * 4, srow + columns[i] * 4, 4);
    }
  }
  Changed();
  return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS2 caps) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetCaps")) return hr;
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper) {
  if (clipper) *clipper = nullptr;
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetClipper")) return hr;
  if (!clipper) return DDERR_INVALIDPARAMS;
  if (!clipper_) return DDERR_NOTFOUND;
  clipper_->AddRef();
  *clipper = clipper_;
  return DD_OK;
}

HRESULT Surface::GetDC(HDC* dc) {
  if (dc) *dc = nullptr;
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetDC")) return hr;
  if (!dc) return DDERR_INVALIDPARAMS;
  if (dc_) return DDERR_DCALREADYCREATED;
  FlushDevices();
  // A DC may be taken while the surface is locked: the engine draws its
  // status glyphs through one between Lock and Unlock of the render target.
  // Both reach the same memory, so neither sees stale pixels.
  if (!IsRgb565()) return DDERR_CANTCREATEDC;
  dc_ = tarn::win32::CreateBufferDc(reinterpret_cast<std::uint16_t*>(Bits()), width_, height_, pitch_);
  if (!dc_) return DDERR_CANTCREATEDC;
  *dc = dc_;
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::ReleaseDC")) return hr;
  if (!dc_ || dc != dc_) return DDERR_NODC;
  tarn::win32::DeleteBufferDc(dc_);
  dc_ = nullptr;
  Changed();
  return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetPixelFormat")) return hr;
  if (!format || format->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
  *format = format_;
  return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC2 desc) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::GetSurfaceDesc")) return hr;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(width_);
  desc->dwHeight = static_cast<DWORD>(height_);
  desc->lPitch = pitch_;
  desc->ddpfPixelFormat = format_;
  desc->ddsCaps = caps_;
  return DD_OK;
}

HRESULT Surface::IsLost() {
  if (HRESULT hr = Injected("IDirectDrawSurface7::IsLost")) return hr;
  return DD_OK;  // memory surfaces are never lost
}

HRESULT Surface::Restore() {
  if (HRESULT hr = Injected("IDirectDrawSurface7::Restore")) return hr;
  return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD, HANDLE) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::Lock")) return hr;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (Busy()) return DDERR_SURFACEBUSY;
  FlushDevices();
  RECT r = rect ? *rect : RECT{0, 0, width_, height_};
  if (r.left < 0 || r.top < 0 || r.right > width_ || r.bottom > height_ || r.left >= r.right || r.top >= r.bottom)
    return DDERR_INVALIDRECT;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  desc->dwWidth = static_cast<DWORD>(r.right - r.left);
  desc->dwHeight = static_cast<DWORD>(r.bottom - r.top);
  desc->lPitch = pitch_;
  desc->lpSurface = Bits() + static_cast<std::ptrdiff_t>(r.top) * pitch_ + r.left * bytesPerPixel_;
  desc->ddpfPixelFormat = format_;
  desc->ddsCaps = caps_;
  locked_ = true;
  return DD_OK;
}

HRESULT Surface::Unlock(LPRECT) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::Unlock")) return hr;
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  Changed();
  return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
  if (HRESULT hr = Injected("IDirectDrawSurface7::SetClipper")) return hr;
  Clipper* c = nullptr;
  if (clipper) {
    c = dynamic_cast<Clipper*>(clipper);
    if (!c) return DDERR_INVALIDPARAMS;
    c->AddRef();
  }
  if (clipper_) clipper_->Release();
  clipper_ = c;
  return DD_OK;
}

const std::vector<std::uint32_t>& Surface::DecodedArgb() {
  if (decodedVersion_ == version_) return decoded_;
  decodedVersion_ = version_;
  // Rows of width + 1 texels, the last a copy of the first (the rasterizer's
  // layout for wrapped bilinear reads).
  const std::size_t stride = static_cast<std::size_t>(width_) + 1;
  decoded_.resize(stride * static_cast<std::size_t>(height_));
  const DDPIXELFORMAT& f = format_;
  bool alpha = (f.dwFlags & DDPF_ALPHAPIXELS) != 0;
  int rs = ShiftOf(f.dwRBitMask), gs = ShiftOf(f.dwGBitMask), bs = ShiftOf(f.dwBBitMask),
      as = ShiftOf(f.dwRGBAlphaBitMask);
  int rb = BitsOf(f.dwRBitMask), gb = BitsOf(f.dwGBitMask), bb = BitsOf(f.dwBBitMask),
      ab = BitsOf(f.dwRGBAlphaBitMask);
  auto convert = [&](std::uint32_t v) {
    std::uint32_t r = Widen((v & f.dwRBitMask) >> rs, rb), g = Widen((v & f.dwGBitMask) >> gs, gb),
                  b = Widen((v & f.dwBBitMask) >> bs, bb);
    std::uint32_t a = alpha ? Widen((v & f.dwRGBAlphaBitMask) >> as, ab) : 255;
    return a << 24 | r << 16 | g << 8 | b;
  };
  std::uint32_t allAlpha = 0xFF000000u;
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* row = Bits() + static_cast<std::ptrdiff_t>(y) * pitch_;
    std::uint32_t* out = decoded_.data() + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width_; ++x) {
      if (bytesPerPixel_ == 2) {
        std::uint16_t v;
        std::memcpy(&v, row + x * 2, 2);
        out[x] = convert(v);
      } else {
        std::uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        out[x] = convert(v);
      }
      allAlpha &= out[x];
    }
    out[width_] = out[0];
  }
  decodedOpaque_ = (allAlpha & 0xFF000000u) == 0xFF000000u;
  return decoded_;
}

}  // namespace tarn::ddraw
