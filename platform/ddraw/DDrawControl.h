// DDrawControl: the seams of the DirectDraw / Direct3D stand-in that are not
// the platform's own: the display a host shows, the driver's capability
// profile, failure injection and the count of live objects. Hosts and tests
// use these; the system's code never does.
//
// The layer is process-wide, as the platform's driver is; everything here is
// for the one thread that runs the system.
#pragma once

#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::ddraw {

// Where the primary surface goes. Present is called after every change that
// reaches the primary: a Blt onto it (after the clipper) and a ReleaseDC of
// its DC. pixels are 5-6-5, rows pitchBytes apart.
class DisplaySink {
 public:
  virtual ~DisplaySink() = default;
  virtual void Present(const std::uint16_t* pixels, int pitchBytes, int width, int height) = 0;
};
void SetDisplaySink(DisplaySink* sink);  // null: nobody shows the primary

// A copy of the primary surface's pixels, width x height packed rows; false
// when no primary exists.
bool ReadPrimary(std::vector<std::uint16_t>* pixels, int* width, int* height);
// The display mode of the last successful SetDisplayMode (0 x 0 before).
void CurrentDisplayMode(int* width, int* height);

// What the driver offers. The default is a typical card of 2000.
struct Profile {
  std::vector<DDPIXELFORMAT> zFormats;        // in the driver's order
  std::vector<DDPIXELFORMAT> textureFormats;  // in the driver's order
  DWORD textureCaps = 0;                      // D3DPTEXTURECAPS_*
  DWORD maxTextureWidth = 0, maxTextureHeight = 0;  // 0: not reported (no limit applied)
  int pitchPadding = 0;  // bytes added to every row of every surface
  // Threads a device created under this profile draws with: 0 takes
  // TARN_RASTER_THREADS from the environment, else every processor. The
  // pixels are the same for any count.
  int rasterThreads = 0;
};
// Powers of two (square not required), 2048 maximum, z formats 24+8 stencil
// then plain 16, texture formats 5-6-5, 1-5-5-5, 4-4-4-4, 8-8-8-8.
Profile DefaultProfile();
void SetProfile(const Profile& profile);
const Profile& CurrentProfile();

DDPIXELFORMAT FormatRgb565();
DDPIXELFORMAT FormatArgb1555();
DDPIXELFORMAT FormatArgb4444();
DDPIXELFORMAT FormatArgb8888();
DDPIXELFORMAT FormatZ16();
DDPIXELFORMAT FormatZ24S8();
DDPIXELFORMAT FormatZ32();

// Call counting, off until a test asks for it (WatchCalls or FailCall), so
// that it costs a program one flag test per call.
void WatchCalls(bool on);
// Failure injection: the nth call (1-based, counted from this call) of the
// named method returns result instead of doing anything; it turns counting
// on. Names are
// "Interface::Method" ("IDirectDraw7::CreateSurface",
// "IDirectDrawSurface7::Lock", "IDirect3DDevice7::SetViewport", ...) or
// "DirectDrawCreateEx".
void FailCall(const std::string& method, int nth, HRESULT result);
// How often the named method was called while counting was on, since the
// last reset.
int CallCount(const std::string& method);

// Objects (DirectDraw, surfaces, clippers, Direct3D, devices) alive now.
int LiveObjects();

// Back to the default profile, no injected failures, counting off with
// counts zero, no sink. Live objects are not touched.
void ResetLayer();

}  // namespace tarn::ddraw
