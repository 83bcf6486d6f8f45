// RenderSwitches: what every draw consults: the wireframe switch and the
// texture table indexed by DrawRecord::materialIndex.
//
// The table is held here (a new one replaces the old with ResetTextureTable,
// which releases the old entries); `textures` points at its first entry and
// `textureCount` gives its length, so a record whose material index lies
// outside the table, or a draw before any table exists, binds no texture
// instead of reading past the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <d3d.h>

#include "engine/scene/DrawRecord.h"

class RenderSwitches {
 public:
  RenderSwitches() = default;
  ~RenderSwitches();
  RenderSwitches(const RenderSwitches&) = delete;
  RenderSwitches& operator=(const RenderSwitches&) = delete;

  // Binds the record's texture on stage 0 and draws its vertices as a
  // triangle list, or as a line list while wireframe is set.
  void DrawMesh(IDirect3DDevice7* device, DrawRecord* record);

  // A new table of `count` empty entries (none for count <= 0); the old
  // table's surfaces are released.
  void ResetTextureTable(std::int32_t count);
  // Releases every surface in the table and empties its entries.
  void ReleaseTextures();

  std::int32_t wireframe = 0;
  IDirectDrawSurface7** textures = nullptr;
  std::int32_t textureCount = 0;
  // Bytes of surface memory the table's textures hold, kept by whoever fills
  // the entries (the world loader's budget); 0 for a new table.
  std::size_t textureBytes = 0;

 private:
  std::vector<IDirectDrawSurface7*> table_;
};
