// DirectDraw 7 as the engine calls it. The interfaces and records are filled
// in by the software device; this seed declares what the scene code needs.
#pragma once

#include <windows.h>

struct DDPIXELFORMAT;
using LPDDPIXELFORMAT = DDPIXELFORMAT*;
// Surfaces: the software device adds the methods.
struct IDirectDrawSurface7 : IUnknown {};
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
