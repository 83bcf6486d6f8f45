// StateTranslation: the device's render, texture-stage, material, viewport
// and light settings turned into the rasterizer's State. A pure function of
// what the calls set: the device keeps its result until one of them changes,
// and fills in per draw only what each draw brings (transforms, texture,
// whether a z-buffer is attached).
#pragma once

#include <ddraw.h>
#include <d3d.h>

#include "platform/raster/Raster.h"

namespace tarn::ddraw {

struct DeviceSettings {
  const DWORD* renderStates;  // 256 entries, indexed by D3DRENDERSTATETYPE
  const DWORD* stage0;        // the texture-stage states of stage 0, indexed by D3DTEXTURESTAGESTATETYPE
  D3DMATERIAL7 material;
  D3DVIEWPORT7 viewport;
  int lightsOn;  // lights switched on (each the default light); more than the rasterizer holds are dropped
};

// Transforms stay identity, the texture none; zEnable tells only what the
// render state asks (the caller clears it when no z-buffer is attached).
// Values outside a state's range fall back: an unknown compare function to
// ALWAYS, an unknown blend factor to ONE (source) or ZERO (destination), an
// unknown fog mode to no fog, a fog number that is not finite to 0.
raster::State TranslateSettings(const DeviceSettings& settings);

}  // namespace tarn::ddraw
