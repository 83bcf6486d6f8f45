// Direct3D 7 immediate mode as the engine calls it: IDirect3D7 and
// IDirect3DDevice7, their records and constants.
//
// The records and interfaces are declared under the platform's names; the
// software implementation behind them lives in platform/ddraw (device) and
// platform/raster (the rasterizer). The values of constants are the
// platform's, so code written against the real headers means the same here.
#pragma once

#include "ddraw.h"

using D3DCOLOR = DWORD;

struct D3DVECTOR {
  D3DVALUE x, y, z;
};

// Row-major 4x4: _11 is row 0 column 0, _12 row 0 column 1, ... _44.
struct D3DMATRIX {
  D3DVALUE _11, _12, _13, _14;
  D3DVALUE _21, _22, _23, _24;
  D3DVALUE _31, _32, _33, _34;
  D3DVALUE _41, _42, _43, _44;
};
using LPD3DMATRIX = D3DMATRIX*;

enum D3DTRANSFORMSTATETYPE : DWORD {
  D3DTRANSFORMSTATE_WORLD = 1,
  D3DTRANSFORMSTATE_VIEW = 2,
  D3DTRANSFORMSTATE_PROJECTION = 3,
};

enum D3DPRIMITIVETYPE : DWORD {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

#define D3DFVF_XYZ 0x002
#define D3DFVF_NORMAL 0x010
#define D3DFVF_TEX1 0x100

struct D3DRECT {
  LONG x1, y1, x2, y2;
};
using LPD3DRECT = D3DRECT*;

struct D3DVIEWPORT7 {
  DWORD dwX, dwY, dwWidth, dwHeight;
  D3DVALUE dvMinZ, dvMaxZ;
};
using LPD3DVIEWPORT7 = D3DVIEWPORT7*;

struct D3DCOLORVALUE {
  D3DVALUE r, g, b, a;
};

struct D3DMATERIAL7 {
  D3DCOLORVALUE diffuse, ambient, specular, emissive;
  D3DVALUE power;
};
using LPD3DMATERIAL7 = D3DMATERIAL7*;

// Device capabilities; the members the engine reads come first in the
// platform's order. Further members of the platform's record are added by
// the device implementation as it needs them.
struct D3DPRIMCAPS {
  DWORD dwSize, dwMiscCaps, dwRasterCaps, dwZCmpCaps, dwSrcBlendCaps, dwDestBlendCaps,
      dwAlphaCmpCaps, dwShadeCaps, dwTextureCaps, dwTextureFilterCaps, dwTextureBlendCaps,
      dwTextureAddressCaps, dwStippleWidth, dwStippleHeight;
};
struct D3DDEVICEDESC7 {
  DWORD dwDevCaps;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth, dwDeviceZBufferBitDepth;
  DWORD dwMinTextureWidth, dwMinTextureHeight, dwMaxTextureWidth, dwMaxTextureHeight;
  DWORD dwMaxTextureRepeat, dwMaxTextureAspectRatio, dwMaxAnisotropy;
  D3DVALUE dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
  D3DVALUE dvExtentsAdjust;
  DWORD dwStencilCaps, dwFVFCaps, dwTextureOpCaps;
  WORD wMaxTextureBlendStages, wMaxSimultaneousTextures;
  DWORD dwMaxActiveLights;
  D3DVALUE dvMaxVertexW;
  GUID deviceGUID;
  WORD wMaxUserClipPlanes, wMaxVertexBlendMatrices;
  DWORD dwVertexProcessingCaps;
  DWORD dwReserved1, dwReserved2, dwReserved3, dwReserved4;
};
using LPD3DDEVICEDESC7 = D3DDEVICEDESC7*;

#define D3DPTEXTURECAPS_PERSPECTIVE 0x00000001
#define D3DPTEXTURECAPS_POW2 0x00000002
#define D3DPTEXTURECAPS_ALPHA 0x00000004
#define D3DPTEXTURECAPS_SQUAREONLY 0x00000020

#define D3DENUMRET_CANCEL 0
#define D3DENUMRET_OK 1
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(LPDDPIXELFORMAT format, LPVOID context);

using D3DRENDERSTATETYPE = DWORD;
using D3DTEXTURESTAGESTATETYPE = DWORD;

struct IDirect3D7;
using LPDIRECT3D7 = IDirect3D7*;
struct IDirect3DDevice7;
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;

// The device: every call the engine makes. Results are HRESULTs.
struct IDirect3DDevice7 : IUnknown {
  virtual HRESULT GetCaps(LPD3DDEVICEDESC7 desc) = 0;
  virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                        DWORD stencil) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) = 0;
  virtual HRESULT SetViewport(LPD3DVIEWPORT7 viewport) = 0;
  virtual HRESULT GetViewport(LPD3DVIEWPORT7 viewport) = 0;
  virtual HRESULT SetMaterial(LPD3DMATERIAL7 material) = 0;
  virtual HRESULT GetMaterial(LPD3DMATERIAL7 material) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices,
                                DWORD vertexCount, DWORD flags) = 0;
  virtual HRESULT GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) = 0;
  virtual HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                       LPDWORD value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                       DWORD value) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
};
