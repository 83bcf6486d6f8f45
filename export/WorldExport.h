// The loaded world as a glTF scene (gltf/Gltf.h), taken from what the device
// is handed: the scene root's children in drawing order, their triangle
// lists, the bound textures (each from the picture file it was made from, at
// full colour), the device's sampler and alpha states, and the start camera.
// `tarnview-replay --export FILE.glb` writes it.
//
// Axes: the engine is left-handed with y up, glTF right-handed with y up. The
// file mirrors z (z of positions, normals, transforms and the camera is
// negated) and reverses each triangle's winding, so the front faces stay
// front faces; texture coordinates are kept as they are, since both put
// (0, 0) at the picture's top-left corner. The asset's extras say so.
//
// Choices of ours:
//   - corners that repeat exactly (every bit of position, normal and texture
//     coordinate) share one vertex;
//   - a record hung under several nodes is one mesh they share;
//   - an object with a coordinate that is not finite keeps its node but
//     loses its mesh, with a Tarn.log line naming it;
//   - a normal that is not of unit length is scaled to it (a zero normal
//     becomes (0, 1, 0), the loaders' choice for a degenerate triangle);
//   - a texture's picture is its file read again through the engine's own
//     reader (WorldPictures: the name the loader opened and the hash of what
//     it read), so the colour is the picture's 8 bits per channel and the
//     alpha the reader's (the 8-bit BMP's byte, the TGA's alpha channel, 255
//     elsewhere); where the file cannot be read again or reads differently
//     now, the device's 16-bit copy read back from the surface stands for
//     it, with a Tarn.log line. Each picture is read and encoded once; a
//     picture that cannot be made a PNG at all fails the export;
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
//   - the file: gltf/GlbFile.h (whole or nothing; an existing file is
//     replaced only when it is empty or a binary glTF file already).
//
// Memory: the world is gone over twice, once to size every mesh and once to
// write it; beyond the loaded world the export holds a plan of a few dozen
// bytes per node and mesh, the nodes' lines of origin (pointers into the
// world's records), 64 KB of JSON text at a time, one mesh's corner table
// and one texture (its texels, its picture and its PNG). The PNGs wait in a
// temporary file until the text that gives their lengths is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <d3d.h>

#include "gltf/Gltf.h"

class SceneNode;
class RenderSwitches;
class Camera;
struct LoadedWorld;

namespace tarn::exporter {

class WorldPictures;

struct WorldSource {
  const SceneNode* root = nullptr;
  const RenderSwitches* switches = nullptr;
  const WorldPictures* pictures = nullptr;  // without it, the device's copies
  const Camera* camera = nullptr;           // no camera node without one
  IDirect3DDevice7* device = nullptr;       // its states; defaults without one
  const LoadedWorld* world = nullptr;       // where objects came from, if known
  std::int32_t screenWidth = 800;           // tarn.cfg's size: the camera's aspect
  std::int32_t screenHeight = 600;
  std::string generator = "tarnview-replay";
};

// Writes the file `path` (the host's name, UTF-8 on Linux, taken as it
// stands) whole or not at all. False with a message in `error`.
bool ExportWorld(const WorldSource& source, const std::string& path, gltf::Counts& counts, std::string& error);
// The same file's bytes in memory.
bool ExportWorld(const WorldSource& source, std::vector<std::uint8_t>& glb, std::string& error);

}  // namespace tarn::exporter
