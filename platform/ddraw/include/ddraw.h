// DirectDraw 7 as the engine calls it. The interfaces and records are filled
// in by the software device; this seed declares what the scene code needs.
#pragma once

#include <windows.h>

struct DDPIXELFORMAT;
using LPDDPIXELFORMAT = DDPIXELFORMAT*;
struct IDirectDraw7;
using LPDIRECTDRAW7 = IDirectDraw7*;

// Surfaces: the software device adds the methods.
struct IDirectDrawSurface7 : IUnknown {};
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
