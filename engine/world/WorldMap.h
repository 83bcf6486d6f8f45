// The world map ("exam.map"), floor files and texture list files: what to
// place in the world, read line by line (formats/LineReader.h) and placed
// under the scene root in the reverse order of loading.
//
//   map:          House <ase> <material> <4 reals> | FloorMap <file> |
//                 TextureFile <file> | Height <picture> <columns> <rows> |
//                 WALL, Character, Tank, Tree (nothing) | End
//   floor file:   NumObject <n> (Model\0.t3m .. n-1) | Read <k> (floor\k.t3m) |
//                 NumTexture <n> | Texture <i> <picture> (in texture\) | Test | End
//   texture list: Count <n> | Bitmap <i> <picture> | End
//
// Every "NumTexture"/"Count" installs a new, empty table (the old surfaces
// are released). Folder changes always return to the folder that was
// current before them, and LoadWorldMap returns to its starting folder.
//
// Choices of ours, where the file formats leave a case open; each problem
// writes an "Error: " line naming the file and, for a line, its number. A
// file named by another file's line is logged with that line first:
// "floor.txt line 2: Model/7.t3m: cannot open the model file".
//   - a map, floor or texture list file that cannot be opened ends that
//     file's reading; the rest of the world still loads;
//   - every file read must be a regular file: a FIFO, device or folder in
//     its place is logged as a file that cannot be opened, never waited on;
//   - a model file that cannot be opened (or whose folder cannot be
//     entered) still has its empty record attached, one per number;
//   - a "House" line without a material index uses 0; a house whose
//     material index has no entry in the final texture table is logged once
//     the world has loaded (it draws untextured);
//   - a "Texture"/"Bitmap" index outside the current table (or before any
//     table) is skipped; a missing picture still reaches CreateTexture with
//     an empty picture, as the engine always did, and is logged;
//   - texture counts are bounded (kMaxTextures) before the table is made;
//   - a "NumObject" count is bounded (kMaxModels), and its loop stops after
//     kMaxMissingModels model files in a row that cannot be opened, so that
//     a count of 2000000000 neither runs for hours nor fills memory with
//     empty records;
//   - a world stops taking objects once its meshes hold kWorldBudget bytes
//     (a map naming one large house a million times), with a log line; each
//     object may take only what is left of the budget (a single model file
//     of a billion faces is logged and left empty);
//   - the textures of a table may hold kTextureBudget bytes of surface
//     memory (WorldServices::textureBudget); a texture beyond it is not
//     made, with a log line;
//   - an object whose memory cannot be had (std::bad_alloc) is logged and
//     left empty; the program goes on;
//   - without a texture maker (no device) no texture is made: entries stay
//     null.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <d3d.h>

#include "engine/picture/Image.h"
#include "engine/scene/RenderSwitches.h"
#include "engine/scene/SceneNode.h"
#include "engine/world/HeightField.h"
#include "engine/log/TarnLog.h"
#include "engine/world/MeshObject.h"

// A seam for readers after the load, such as the glTF export: told which
// picture file each texture entry is made from, with the picture as the
// loader read it (before the device, which may change it, gets it), so that
// such a reader can read the file again at full colour and know it
// unchanged. The engine draws from the device's copy and keeps none of this;
// without an observer nothing is computed.
class PictureObserver {
 public:
  virtual ~PictureObserver() = default;
  // A new, empty table of `count` entries.
  virtual void TableReset(std::int32_t count) = 0;
  // Entry `index` is about to be made from `file` (the name as opened from
  // the folder the load started in).
  virtual void Making(std::int32_t index, const std::string& file, const Image& picture) = 0;
  // Whether the entry then holds a texture made from it.
  virtual void Made(std::int32_t index, bool made) = 0;
};
// The process's observer, which every WorldServices takes when it is made
// (as ProcessWorld() is the process's world); null for none.
void SetPictureObserver(PictureObserver* observer);

// What the loaders need from the rest of the engine: the texture maker and
// the log. The application fills it from its EngineDevice.
struct WorldServices {
  void* context = nullptr;
  // Makes a texture from the picture into *texture; 1 on success.
  int (*createTexture)(void* context, Image& picture, IDirectDrawSurface7** texture) = nullptr;
  LoadLog log;
  std::size_t textureBudget;  // bytes of texture surfaces a table may hold
  PictureObserver* pictures;   // the process's (SetPictureObserver), or null
  WorldServices();
};

// Everything a loaded world owns; it must outlive the scene tree that
// points into it.
struct LoadedWorld {
  std::vector<std::unique_ptr<MeshObject>> meshes;
  std::vector<std::unique_ptr<HeightField>> terrains;
  std::size_t bytes = 0;  // held by the meshes so far
  bool budgetLogged = false;
  // An object with the line that placed it.
  struct Placed {
    const MeshObject* mesh;
    std::string where;
  };
  // The houses, with the map line that placed them ("exam.map line 3: a.ase").
  std::vector<Placed> houses;
  // The model files, with the floor file's line that named them ("floor.txt
  // line 2: Model/7.t3m"), and the terrains with their map line ("exam.map
  // line 5: heights.bmp"); in the order of loading.
  std::vector<Placed> models;
  std::vector<Placed> terrainLines;
};

inline constexpr std::int32_t kMaxTextures = 65536;
inline constexpr std::int32_t kMaxModels = 65536;
inline constexpr std::int32_t kMaxMissingModels = 64;
inline constexpr std::size_t kWorldBudget = std::size_t{1} << 30;
inline constexpr std::size_t kTextureBudget = std::size_t{512} << 20;

// Loads the world map `path` (an ANSI name, relative to the working
// directory) under `root`. Returns 1, or 0 when the map cannot be opened.
int LoadWorldMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world);
// The same from memory; `name` names the map in log lines.
int ReadWorldMap(const char* data, std::size_t size, const char* name, SceneNode* root, RenderSwitches* switches,
                 const WorldServices& services, LoadedWorld& world);
int LoadFloorMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world);
int LoadTextureList(const char* path, RenderSwitches* switches, const WorldServices& services);

// The world of the running program: lives until the process ends.
LoadedWorld& ProcessWorld();
