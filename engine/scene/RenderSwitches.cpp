// Drawing one record: bind its texture, hand its vertices to the device.
#include "engine/scene/RenderSwitches.h"

#include <ddraw.h>

RenderSwitches::~RenderSwitches() { ReleaseTextures(); }

void RenderSwitches::DrawMesh(IDirect3DDevice7* device, DrawRecord* record) {
  IDirectDrawSurface7* texture = nullptr;
  if (textures != nullptr && record->materialIndex >= 0 && record->materialIndex < textureCount)
    texture = textures[record->materialIndex];
  device->SetTexture(0, texture);
  device->DrawPrimitive(wireframe != 0 ? D3DPT_LINELIST : D3DPT_TRIANGLELIST, kMeshVertexFormat,
                        record->vertices, static_cast<DWORD>(record->vertexCount), 0);
}

void RenderSwitches::ResetTextureTable(std::int32_t count) {
  ReleaseTextures();
  table_.assign(count > 0 ? static_cast<std::size_t>(count) : 0, nullptr);
  textures = table_.empty() ? nullptr : table_.data();
  textureCount = static_cast<std::int32_t>(table_.size());
  textureBytes = 0;
}

void RenderSwitches::ReleaseTextures() {
  for (IDirectDrawSurface7*& surface : table_) {
    if (surface != nullptr) surface->Release();
    surface = nullptr;
  }
}
