// `tarnview-replay --export FILE.glb`: the loaded world as one binary glTF
// 2.0 file, taken from what the device is handed: the scene root's children
// in drawing order, their triangle lists, the bound textures (each from the
// picture file it was made from, at full colour), the device's sampler and
// alpha states, and the start camera.
//
// Axes: the engine is left-handed with y up, glTF right-handed with y up. The
// file mirrors z (z of positions, normals, transforms and the camera is
// negated) and reverses each triangle's winding, so the front faces stay
// front faces; texture coordinates are kept as they are, since both put
// (0, 0) at the picture's top-left corner. The asset's extras say so.
//
// Choices of ours:
//   - corners that repeat exactly (every bit of position, normal and texture
//     coordinate) share one vertex; indices are 16-bit while the vertices of
//     a mesh stay below 65535, 32-bit beyond;
//   - a record hung under several nodes is one mesh they share;
//   - an object with a coordinate that is not finite keeps its node but
//     loses its mesh, with a Tarn.log line naming it; so does an object
//     whose triangles do not fit one file;
//   - a normal that is not of unit length is scaled to it (a zero normal
//     becomes (0, 1, 0), the loaders' choice for a degenerate triangle);
//   - a texture's picture is its file read again through the engine's own
//     reader (RenderSwitches::pictureSources: the name the loader opened and
//     the hash of what it read, size included), so the colour is the
//     picture's 8 bits per channel and the alpha the reader's (the 8-bit
//     BMP's byte, the TGA's alpha channel, 255 elsewhere); where the file
//     cannot be read again or reads differently now, the device's 16-bit
//     copy read back from the surface stands for it, with a Tarn.log line.
//     No decoded picture is kept beyond the one being written;
//   - the alpha mode reads the texels' alpha as the device holds them (the
//     engine's textures are 4-4-4-4: the picture's alpha to 4 bits), since
//     that is what the device tests and blends with: all opaque is OPAQUE,
//     only opaque and below the device's alpha reference is MASK with that
//     reference as alphaCutoff, anything between is BLEND (the device both
//     tests and blends; BLEND alone would draw what the test throws away
//     faintly). A MASK picture's alpha is then 0-15 or 240-255 in the file,
//     so that a cutoff at the reference (8) keeps alpha 8-15, which the
//     device's 4 bits cut: rare in a cut-out, and the reference is the
//     engine's;
//   - an object whose texture entry is empty, or whose surface cannot be
//     read, gets the plain material, with a Tarn.log line;
//   - an existing destination is replaced only when it is a binary glTF
//     file already (or not a regular file, such as /dev/stdout): anything
//     else may be one of the world's own files and is refused.
//
// Memory: the file is made in two passes over the world, the first sizing
// every mesh and picture and counting the JSON text, the second writing them
// as they are made; beyond the loaded world the export holds a plan of a few
// dozen bytes per node and mesh, the nodes' lines of origin (pointers into
// the world's records), 64 KB of JSON text at a time, one mesh's corner
// table and one texture (its texels, its picture and its PNG). Each picture
// is therefore read and encoded twice, and the text made twice.
#pragma once

#include <cstdint>
#include <string>

#include <d3d.h>

class SceneNode;
class RenderSwitches;
class Camera;
struct LoadedWorld;

namespace tarn::programs {

struct GltfSource {
  const SceneNode* root = nullptr;
  const RenderSwitches* switches = nullptr;
  const Camera* camera = nullptr;      // no camera node without one
  IDirect3DDevice7* device = nullptr;  // its states; defaults without one
  const LoadedWorld* world = nullptr;  // where objects came from, if known
  std::int32_t screenWidth = 800;      // tarn.cfg's size: the camera's aspect
  std::int32_t screenHeight = 600;
  std::string generator = "tarnview-replay";
};

struct GltfCounts {
  std::int64_t nodes = 0;  // the scene root's children
  std::int64_t meshes = 0;
  std::int64_t triangles = 0;  // over all nodes, a shared mesh once per node
  std::int64_t images = 0;
  std::uint64_t bytes = 0;  // of the file
};

// Writes the file `path` (a host name, UTF-8 on Linux) whole or not at all.
// False with a message in `error`.
bool ExportGltf(const GltfSource& source, const std::string& path, GltfCounts& counts, std::string& error);

}  // namespace tarn::programs
