// MeshVertex: position, normal and one texture coordinate pair, 32 bytes;
// the device's vertex format D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
#pragma once

struct MeshVertex {
  float x, y, z;
  float nx, ny, nz;
  float tu, tv;
};
static_assert(sizeof(MeshVertex) == 32, "MeshVertex is the device's 32-byte vertex");

inline constexpr unsigned kMeshVertexFormat = 0x112;  // XYZ | NORMAL | TEX1
