// Direct3D 7 immediate mode as the engine calls it: IDirect3D7 and
// IDirect3DDevice7, their records and constants.
//
// Implemented: IDirect3D7 EnumZBufferFormats and CreateDevice (the HAL and
// RGB device types both give the software device); the device's calls below.
// DrawPrimitive takes triangle and line lists of XYZ vertices with optional
// NORMAL, DIFFUSE, SPECULAR and texture coordinates. Not implemented: vertex
// buffers, indexed drawing, SetLight (light 0 is the default light that
// LightEnable creates), multi-stage texture blending (stage 0 only),
// stencil. Calls outside their preconditions return the platform's error and
// change nothing.
//
// The records and interfaces are declared under the platform's names; the
// software implementation behind them lives in platform/ddraw (device) and
// platform/raster (the rasterizer). The values of constants are the
// platform's, so code written against the real headers means the same here.
#pragma once

#include "ddraw.h"

using REFCLSID = const GUID&;

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
#define D3DFVF_XYZRHW 0x004
#define D3DFVF_POSITION_MASK 0x00E
#define D3DFVF_NORMAL 0x010
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_SPECULAR 0x080
#define D3DFVF_TEX0 0x000
#define D3DFVF_TEX1 0x100
#define D3DFVF_TEX2 0x200
#define D3DFVF_TEXCOUNT_MASK 0xF00
#define D3DFVF_TEXCOUNT_SHIFT 8

#define D3D_OK DD_OK
#define D3DDP_WAIT 0x00000001

#define D3DCLEAR_TARGET 0x00000001
#define D3DCLEAR_ZBUFFER 0x00000002
#define D3DCLEAR_STENCIL 0x00000004

#define D3DERR_INVALIDVERTEXFORMAT MAKE_DDHRESULT(2048)
#define D3DERR_INVALIDPRIMITIVETYPE MAKE_DDHRESULT(736)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(760)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(761)
#define D3DERR_ZBUFFER_NOTPRESENT MAKE_DDHRESULT(2070)
#define D3DERR_INVALID_DEVICE MAKE_DDHRESULT(705)
#define D3DERR_LIGHT_SET_FAILED MAKE_DDHRESULT(750)

inline constexpr GUID IID_IDirect3D7 = {0xf5049e77, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
inline constexpr GUID IID_IDirect3DHALDevice = {0x84e63de0, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
inline constexpr GUID IID_IDirect3DRGBDevice = {0xa4665c60, 0x2673, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DTnLHalDevice = {0xf5049e78, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};

// Render states (the values are the platform's).
#define D3DRENDERSTATE_ZENABLE 7
#define D3DRENDERSTATE_FILLMODE 8
#define D3DRENDERSTATE_SHADEMODE 9
#define D3DRENDERSTATE_ZWRITEENABLE 14
#define D3DRENDERSTATE_ALPHATESTENABLE 15
#define D3DRENDERSTATE_LASTPIXEL 16
#define D3DRENDERSTATE_SRCBLEND 19
#define D3DRENDERSTATE_DESTBLEND 20
#define D3DRENDERSTATE_CULLMODE 22
#define D3DRENDERSTATE_ZFUNC 23
#define D3DRENDERSTATE_ALPHAREF 24
#define D3DRENDERSTATE_ALPHAFUNC 25
#define D3DRENDERSTATE_DITHERENABLE 26
#define D3DRENDERSTATE_ALPHABLENDENABLE 27
#define D3DRENDERSTATE_FOGENABLE 28
#define D3DRENDERSTATE_SPECULARENABLE 29
#define D3DRENDERSTATE_FOGCOLOR 34
#define D3DRENDERSTATE_FOGTABLEMODE 35
#define D3DRENDERSTATE_FOGSTART 36
#define D3DRENDERSTATE_FOGEND 37
#define D3DRENDERSTATE_FOGDENSITY 38
#define D3DRENDERSTATE_FOGTABLESTART D3DRENDERSTATE_FOGSTART
#define D3DRENDERSTATE_FOGTABLEEND D3DRENDERSTATE_FOGEND
#define D3DRENDERSTATE_FOGTABLEDENSITY D3DRENDERSTATE_FOGDENSITY
#define D3DRENDERSTATE_RANGEFOGENABLE 48
#define D3DRENDERSTATE_STENCILENABLE 52
#define D3DRENDERSTATE_TEXTUREFACTOR 60
#define D3DRENDERSTATE_CLIPPING 136
#define D3DRENDERSTATE_LIGHTING 137
#define D3DRENDERSTATE_AMBIENT 139
#define D3DRENDERSTATE_FOGVERTEXMODE 140
#define D3DRENDERSTATE_COLORVERTEX 141
#define D3DRENDERSTATE_LOCALVIEWER 142
#define D3DRENDERSTATE_NORMALIZENORMALS 143
#define D3DRENDERSTATE_DIFFUSEMATERIALSOURCE 145
#define D3DRENDERSTATE_SPECULARMATERIALSOURCE 146
#define D3DRENDERSTATE_AMBIENTMATERIALSOURCE 147
#define D3DRENDERSTATE_EMISSIVEMATERIALSOURCE 148

#define D3DZB_FALSE 0
#define D3DZB_TRUE 1
#define D3DZB_USEW 2
#define D3DFILL_POINT 1
#define D3DFILL_WIREFRAME 2
#define D3DFILL_SOLID 3
#define D3DSHADE_FLAT 1
#define D3DSHADE_GOURAUD 2
#define D3DCULL_NONE 1
#define D3DCULL_CW 2
#define D3DCULL_CCW 3
#define D3DCMP_NEVER 1
#define D3DCMP_LESS 2
#define D3DCMP_EQUAL 3
#define D3DCMP_LESSEQUAL 4
#define D3DCMP_GREATER 5
#define D3DCMP_NOTEQUAL 6
#define D3DCMP_GREATEREQUAL 7
#define D3DCMP_ALWAYS 8
#define D3DBLEND_ZERO 1
#define D3DBLEND_ONE 2
#define D3DBLEND_SRCCOLOR 3
#define D3DBLEND_INVSRCCOLOR 4
#define D3DBLEND_SRCALPHA 5
#define D3DBLEND_INVSRCALPHA 6
#define D3DBLEND_DESTALPHA 7
#define D3DBLEND_INVDESTALPHA 8
#define D3DBLEND_DESTCOLOR 9
#define D3DBLEND_INVDESTCOLOR 10
#define D3DFOG_NONE 0
#define D3DFOG_EXP 1
#define D3DFOG_EXP2 2
#define D3DFOG_LINEAR 3
#define D3DMCS_MATERIAL 0
#define D3DMCS_COLOR1 1
#define D3DMCS_COLOR2 2

// Texture stage states and their values.
#define D3DTSS_COLOROP 1
#define D3DTSS_COLORARG1 2
#define D3DTSS_COLORARG2 3
#define D3DTSS_ALPHAOP 4
#define D3DTSS_ALPHAARG1 5
#define D3DTSS_ALPHAARG2 6
#define D3DTSS_TEXCOORDINDEX 11
#define D3DTSS_ADDRESS 12
#define D3DTSS_ADDRESSU 13
#define D3DTSS_ADDRESSV 14
#define D3DTSS_BORDERCOLOR 15
#define D3DTSS_MAGFILTER 16
#define D3DTSS_MINFILTER 17
#define D3DTSS_MIPFILTER 18
#define D3DTOP_DISABLE 1
#define D3DTOP_SELECTARG1 2
#define D3DTOP_SELECTARG2 3
#define D3DTOP_MODULATE 4
#define D3DTOP_MODULATE2X 5
#define D3DTOP_MODULATE4X 6
#define D3DTOP_ADD 7
#define D3DTA_DIFFUSE 0x00000000
#define D3DTA_CURRENT 0x00000001
#define D3DTA_TEXTURE 0x00000002
#define D3DTA_TFACTOR 0x00000003
#define D3DTA_SPECULAR 0x00000004
#define D3DTFG_POINT 1
#define D3DTFG_LINEAR 2
#define D3DTFN_POINT 1
#define D3DTFN_LINEAR 2
#define D3DTFP_NONE 1
#define D3DTADDRESS_WRAP 1
#define D3DTADDRESS_MIRROR 2
#define D3DTADDRESS_CLAMP 3
#define D3DTADDRESS_BORDER 4

#define D3DDEVCAPS_HWRASTERIZATION 0x00080000
#define D3DPRASTERCAPS_DITHER 0x00000001
#define D3DPRASTERCAPS_FOGTABLE 0x00000100
#define D3DPRASTERCAPS_WBUFFER 0x00040000
#define D3DPRASTERCAPS_WFOG 0x00100000
#define D3DPRASTERCAPS_ZFOG 0x00200000

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

// Reached through IDirectDraw7::QueryInterface(IID_IDirect3D7).
struct IDirect3D7 : IUnknown {
  // Lists the z-buffer formats the driver offers for the device type, in
  // the driver's order, until the callback returns D3DENUMRET_CANCEL.
  virtual HRESULT EnumZBufferFormats(REFCLSID deviceType, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                     LPVOID context) = 0;
  // target: a 3-D device surface, usually with an attached z-buffer.
  virtual HRESULT CreateDevice(REFCLSID deviceType, LPDIRECTDRAWSURFACE7 target,
                               LPDIRECT3DDEVICE7* device) = 0;
  virtual HRESULT EvictManagedTextures() = 0;
};

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
