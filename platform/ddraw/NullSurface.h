// NullSurface: an IDirectDrawSurface7 whose every call fails with E_NOTIMPL
// and whose count is left to the deriving class. For tests that need a
// surface to stand in a table, not one that holds pixels.
#pragma once

#include <ddraw.h>

namespace tarn::ddraw {

struct NullSurface : IDirectDrawSurface7 {
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE7) override { return E_NOTIMPL; }
  HRESULT Blt(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDBLTFX) override { return E_NOTIMPL; }
  HRESULT GetAttachedSurface(LPDDSCAPS2, LPDIRECTDRAWSURFACE7*) override { return E_NOTIMPL; }
  HRESULT GetCaps(LPDDSCAPS2) override { return E_NOTIMPL; }
  HRESULT GetClipper(LPDIRECTDRAWCLIPPER*) override { return E_NOTIMPL; }
  HRESULT GetDC(HDC*) override { return E_NOTIMPL; }
  HRESULT GetPixelFormat(LPDDPIXELFORMAT) override { return E_NOTIMPL; }
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC2) override { return E_NOTIMPL; }
  HRESULT IsLost() override { return E_NOTIMPL; }
  HRESULT Lock(LPRECT, LPDDSURFACEDESC2, DWORD, HANDLE) override { return E_NOTIMPL; }
  HRESULT ReleaseDC(HDC) override { return E_NOTIMPL; }
  HRESULT Restore() override { return E_NOTIMPL; }
  HRESULT SetClipper(LPDIRECTDRAWCLIPPER) override { return E_NOTIMPL; }
  HRESULT Unlock(LPRECT) override { return E_NOTIMPL; }
};

}  // namespace tarn::ddraw
