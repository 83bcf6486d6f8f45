// The world map, floor and texture list readers.
#include "engine/world/WorldMap.h"

#include <ddraw.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "engine/world/AseReader.h"
#include "engine/world/ModelFileReader.h"
#include "engine/world/NameReadings.h"
#include "engine/world/ReaderFile.h"
#include "formats/LineReader.h"
#include "formats/LineScan.h"
#include "platform/files/AnsiFile.h"

namespace fmt = tarn::formats;

namespace {

// Enters a subfolder and comes back to the folder that was current before,
// whatever happens in between. The way back is held, not spelt: a world
// folder may stand deeper than any name a buffer holds.
class FolderVisit {
 public:
  explicit FolderVisit(const char* folder) {
    if (!start_.Held()) return;
    entered_ = _chdir(folder) == 0;
  }
  ~FolderVisit() {
    if (entered_) start_.Enter();
  }
  FolderVisit(const FolderVisit&) = delete;
  FolderVisit& operator=(const FolderVisit&) = delete;
  bool Entered() const { return entered_; }

 private:
  tarn::files::HeldWorkingFolder start_;
  bool entered_ = false;
};

// "<file> line <n>: ", what a loader's lines start with when another file's
// line named what it reads.
struct Origin {
  char text[512];
  Origin(const char* file, long long line) { std::snprintf(text, sizeof text, "%s line %lld: ", file, line); }
  Origin(const char* file, long long line, const char* folder) {
    std::snprintf(text, sizeof text, "%s line %lld: %s/", file, line, folder);
  }
};

// Runs one object's load; memory that cannot be had leaves the object empty
// with a log line instead of ending the program.
template <class Load, class Clear>
void Guarded(const LoadLog& log, const char* what, Load load, Clear clear) {
  try {
    load();
  } catch (const std::bad_alloc&) {
    clear();
    log.Error("%s: not enough memory; left empty", what);
  }
}

int ReadFloorFile(const char* path, const LoadLog& openLog, SceneNode* root, RenderSwitches* switches,
                  const WorldServices& services, LoadedWorld& world);
int ReadTextureListFile(const char* path, const LoadLog& openLog, RenderSwitches* switches,
                        const WorldServices& services);

// Bytes of surface memory a texture holds (0 for none).
std::size_t SurfaceBytes(IDirectDrawSurface7* surface) {
  if (surface == nullptr) return 0;
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (surface->GetSurfaceDesc(&desc) != DD_OK) return 0;
  return static_cast<std::size_t>(desc.dwHeight) * static_cast<std::size_t>(desc.lPitch > 0 ? desc.lPitch : 0);
}

// Loads picture `name` into texture entry `index` of the current table;
// `folder` is where the picture lies, as log lines name it ("" or "texture/").
void MakeTexture(const char* listName, long long line, int index, const char* folder, const char* name,
                 RenderSwitches* switches, const WorldServices& services) {
  if (switches == nullptr) return;
  if (index < 0 || index >= switches->textureCount || switches->textures == nullptr) {
    services.log.Error("%s line %lld: texture index %d is outside the table of %d entries", listName, line, index,
                       switches->textureCount);
    return;
  }
  IDirectDrawSurface7*& slot = switches->textures[index];
  const std::string where = Origin(listName, line).text + std::string(folder);
  const std::string openable = OpenableName(name, services.log.Within(where.c_str()));
  name = openable.c_str();
  Guarded(services.log, name, [&] {
    Image picture;
    std::string why;
    if (picture.LoadPicture(name, &why) == 0 || picture.pixels.empty()) {
      // An ending the loader does not read (jpg) is not an error of the file.
      if (tarn::files::AnsiFileSize(name, nullptr) != 0)
        services.log.Error("%s line %lld: %s%s: cannot open the picture%s", listName, line, folder, name,
                           NameReadings(name).c_str());
      else if (picture.pixels.empty())
        services.log.Error("%s line %lld: %s%s: the picture could not be read: %s", listName, line, folder, name,
                           why.empty() ? "its name ends neither in bmp nor in tga" : why.c_str());
    } else if (!why.empty()) {
      services.log.Error("%s line %lld: %s%s: %s", listName, line, folder, name, why.c_str());
    }
    if (services.createTexture == nullptr) return;
    // What the texture is made from, for readers after the load; told
    // before the maker, which may change the picture it is handed. A name
    // from the root stands as it is, not under the folder.
    if (services.pictures != nullptr) {
      const bool rooted = name[0] == '/' || name[0] == '\\';
      services.pictures->Making(index, rooted ? std::string(name) : std::string(folder) + name, picture);
    }
    if (slot != nullptr) {
      switches->textureBytes -= SurfaceBytes(slot);
      slot->Release();
      slot = nullptr;
    }
    services.createTexture(services.context, picture, &slot);
    const std::size_t bytes = SurfaceBytes(slot);
    if (switches->textureBytes + bytes > services.textureBudget) {
      services.log.Error("%s line %lld: %s%s: the textures already hold %zu KB of %zu; this one is not made", listName,
                         line, folder, name, switches->textureBytes >> 10, services.textureBudget >> 10);
      slot->Release();
      slot = nullptr;
      if (services.pictures != nullptr) services.pictures->Made(index, false);
      return;
    }
    switches->textureBytes += bytes;
    if (services.pictures != nullptr) services.pictures->Made(index, slot != nullptr);
  }, [] {});
}

void ResetTable(const char* listName, long long line, int n, RenderSwitches* switches, const WorldServices& services) {
  if (switches == nullptr) return;
  if (n < 0 || n > kMaxTextures) {
    services.log.Error("%s line %lld: texture count %d is outside 0 to %d, read as %d", listName, line, n, kMaxTextures,
                       n < 0 ? 0 : kMaxTextures);
    n = n < 0 ? 0 : kMaxTextures;
  }
  switches->ResetTextureTable(n);
  if (services.pictures != nullptr) services.pictures->TableReset(n);
}

MeshObject& NewMesh(LoadedWorld& world) {
  world.meshes.push_back(std::make_unique<MeshObject>());
  return *world.meshes.back();
}

// False (and one log line per world) once the world holds its budget.
bool HasRoom(LoadedWorld& world, const char* fileName, long long line, const WorldServices& services) {
  if (world.bytes < kWorldBudget) return true;
  if (!world.budgetLogged)
    services.log.Error("%s line %lld: the world already holds %zu MB; this and later objects are not loaded",
                       fileName, line, world.bytes >> 20);
  world.budgetLogged = true;
  return false;
}

// What is left of the world's budget for the next object.
std::size_t Remaining(const LoadedWorld& world) { return world.bytes < kWorldBudget ? kWorldBudget - world.bytes : 0; }

// Returns whether the model file could be opened.
bool LoadModel(const char* folder, int number, SceneNode* root, LoadedWorld& world, const WorldServices& services,
               const char* floorName, long long line) {
  if (!HasRoom(world, floorName, line, services)) return true;
  MeshObject& mesh = NewMesh(world);
  mesh.drawRecord.kind = kDrawCulled;
  mesh.SetMemoryLimit(Remaining(world));
  bool opened = false;
  char name[32];
  std::snprintf(name, sizeof name, "%d.t3m", number);
  // Its log lines and its record say which floor line named it, and its folder.
  const Origin origin(floorName, line, folder);
  {
    FolderVisit visit(folder);
    if (visit.Entered()) {
      const LoadLog log = services.log.Within(origin.text);
      Guarded(log, name, [&] { opened = LoadModelFile(name, mesh, log) == ModelFileResult::kRead; }, [&] { mesh.Empty(); });
    } else {
      services.log.Error("%s line %lld: %s/%s: cannot enter the folder %s", floorName, line, folder, name, folder);
    }
  }
  world.bytes += mesh.MemoryBytes();
  if (root != nullptr) root->AttachDrawable(&mesh.drawRecord);
  world.models.push_back({&mesh, origin.text + std::string(name)});
  return opened;
}

void ReadFloor(fmt::LineReader& reader, const char* name, SceneNode* root, RenderSwitches* switches,
               const WorldServices& services, LoadedWorld& world) {
  char word[fmt::LineReader::kLineBuffer];
  char text[fmt::LineReader::kLineBuffer];
  while (reader.NextKeywordLine()) {
    if (reader.Is("NumObject")) {
      // NumObject n: Model\0.t3m .. Model\<n-1>.t3m
      int n = 0;
      fmt::ScanLine(reader.Line(), "%s %d", word, &n);
      const long long at = reader.LineNumber();
      if (n > kMaxModels) {
        services.log.Error("%s line %lld: %d models is more than %d, read as %d", name, at, n, kMaxModels, kMaxModels);
        n = kMaxModels;
      }
      int missing = 0;
      for (int i = 0; i < n; ++i) {
        missing = LoadModel("Model", i, root, world, services, name, at) ? 0 : missing + 1;
        if (missing == kMaxMissingModels && i + 1 < n) {
          services.log.Error("%s line %lld: %d model files in a row are missing; models %d to %d are not loaded", name,
                             at, missing, i + 1, n - 1);
          break;
        }
      }
    } else if (reader.Is("Read")) {
      // Read k: floor\k.t3m
      int k = 0;
      fmt::ScanLine(reader.Line(), "%s %d", word, &k);
      LoadModel("floor", k, root, world, services, name, reader.LineNumber());
    } else if (reader.Is("NumTexture")) {
      // NumTexture n
      int n = 0;
      fmt::ScanLine(reader.Line(), "%s %d", word, &n);
      ResetTable(name, reader.LineNumber(), n, switches, services);
    } else if (reader.Is("Texture")) {
      // Texture i picture (in texture\)
      int index = 0;
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %d %s", word, &index, text);
      FolderVisit visit("texture");
      if (!visit.Entered())
        services.log.Error("%s line %lld: texture/%s: cannot enter the folder texture", name, reader.LineNumber(), text);
      else
        MakeTexture(name, reader.LineNumber(), index, "texture/", text, switches, services);
    } else if (reader.Is("End")) {
      break;
    }
  }
}

void ReadTextureList(fmt::LineReader& reader, const char* name, RenderSwitches* switches, const WorldServices& services) {
  char word[fmt::LineReader::kLineBuffer];
  char text[fmt::LineReader::kLineBuffer];
  while (reader.NextKeywordLine()) {
    if (reader.Is("Count")) {
      // Count n
      int n = 0;
      fmt::ScanLine(reader.Line(), "%s %d", word, &n);
      ResetTable(name, reader.LineNumber(), n, switches, services);
    } else if (reader.Is("Bitmap")) {
      // Bitmap i picture
      int index = 0;
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %d %s", word, &index, text);
      MakeTexture(name, reader.LineNumber(), index, "", text, switches, services);
    } else if (reader.Is("End")) {
      break;
    }
  }
}

void ReadMap(fmt::LineReader& reader, const char* name, SceneNode* root, RenderSwitches* switches,
             const WorldServices& services, LoadedWorld& world) {
  char word[fmt::LineReader::kLineBuffer];
  char text[fmt::LineReader::kLineBuffer];
  while (reader.NextKeywordLine()) {
    if (reader.Is("House")) {
      // House ase material r1 r2 r3 r4 (the reals are not used)
      int material = 0;
      float r[4] = {0, 0, 0, 0};
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s %d %f %f %f %f", word, text, &material, &r[0], &r[1], &r[2], &r[3]);
      if (text[0] == '\0') {
        services.log.Error("%s line %lld: House without a file name", name, reader.LineNumber());
        continue;
      }
      if (!HasRoom(world, name, reader.LineNumber(), services)) continue;
      MeshObject& mesh = NewMesh(world);
      mesh.drawRecord.materialIndex = material;
      mesh.drawRecord.kind = kDrawCulled;
      mesh.SetMemoryLimit(Remaining(world));
      const Origin origin(name, reader.LineNumber());
      const LoadLog log = services.log.Within(origin.text);
      const std::string house = OpenableName(text, log);
      Guarded(log, text, [&] { LoadAseHouse(house.c_str(), mesh, root, log); }, [&] { mesh.Empty(); });
      world.bytes += mesh.MemoryBytes();
      world.houses.push_back({&mesh, origin.text + std::string(text)});
    } else if (reader.Is("FloorMap")) {
      // FloorMap file
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
      const Origin origin(name, reader.LineNumber());
      const LoadLog log = services.log.Within(origin.text);
      ReadFloorFile(OpenableName(text, log).c_str(), log, root, switches, services, world);
    } else if (reader.Is("TextureFile")) {
      // TextureFile file
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
      const Origin origin(name, reader.LineNumber());
      const LoadLog log = services.log.Within(origin.text);
      ReadTextureListFile(OpenableName(text, log).c_str(), log, switches, services);
    } else if (reader.Is("Height")) {
      // Height picture columns rows
      if (!HasRoom(world, name, reader.LineNumber(), services)) continue;
      world.terrains.push_back(std::make_unique<HeightField>());
      HeightField& terrain = *world.terrains.back();
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s %d %d", word, text, &terrain.columns, &terrain.rows);
      terrain.pictureName = text[0] != '\0' ? OpenableName(text, services.log.Within(Origin(name, reader.LineNumber()).text))
                                             : std::string();
      terrain.mesh->SetMemoryLimit(Remaining(world));
      Guarded(services.log, text, [&] { terrain.BuildHeightField(services.log); }, [&] { terrain.mesh->Empty(); });
      world.bytes += terrain.mesh->MemoryBytes();
      terrain.mesh->drawRecord.kind = kDrawAlways;
      if (root != nullptr) root->AttachDrawable(&terrain.mesh->drawRecord);
      world.terrainLines.push_back({terrain.mesh.get(), Origin(name, reader.LineNumber()).text + std::string(text)});
    } else if (reader.Is("End")) {
      break;
    }
    // WALL, Character, Tank, Tree: recognised, nothing to do.
  }
}

// Reads a floor file; `openLog` says where the name came from when the file
// cannot be opened (its own lines name the floor file itself).
int ReadFloorFile(const char* path, const LoadLog& openLog, SceneNode* root, RenderSwitches* switches,
                  const WorldServices& services, LoadedWorld& world) {
  const OpenedText file(path, "floor file", openLog);
  if (file.File() == nullptr) return 0;
  fmt::LineReader reader(file.File());
  ReadFloor(reader, path, root, switches, services, world);
  return 1;
}

int ReadTextureListFile(const char* path, const LoadLog& openLog, RenderSwitches* switches,
                        const WorldServices& services) {
  const OpenedText file(path, "texture list", openLog);
  if (file.File() == nullptr) return 0;
  fmt::LineReader reader(file.File());
  ReadTextureList(reader, path, switches, services);
  return 1;
}

// A house draws with the texture its material index selects: one whose
// index has no entry in the final table draws untextured.
void CheckHouseMaterials(const RenderSwitches* switches, const WorldServices& services, const LoadedWorld& world) {
  if (switches == nullptr) return;
  for (const LoadedWorld::Placed& h : world.houses) {
    const DrawRecord& r = h.mesh->drawRecord;
    if (r.vertexCount == 0) continue;
    if (r.materialIndex < 0 || r.materialIndex >= switches->textureCount)
      services.log.Error("%s: material index %d has no entry in the texture table of %d entries", h.where.c_str(),
                         r.materialIndex, switches->textureCount);
  }
}

}  // namespace

int LoadFloorMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world) {
  return ReadFloorFile(path, services.log, root, switches, services, world);
}

int LoadTextureList(const char* path, RenderSwitches* switches, const WorldServices& services) {
  return ReadTextureListFile(path, services.log, switches, services);
}

int ReadWorldMap(const char* data, std::size_t size, const char* name, SceneNode* root, RenderSwitches* switches,
                 const WorldServices& services, LoadedWorld& world) {
  FolderVisit stay(".");
  fmt::LineReader reader(data, size);
  ReadMap(reader, name, root, switches, services, world);
  CheckHouseMaterials(switches, services, world);
  return 1;
}

int LoadWorldMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world) {
  FolderVisit stay(".");
  const OpenedText file(path, "world map", services.log);
  if (file.File() == nullptr) return 0;
  fmt::LineReader reader(file.File());
  ReadMap(reader, path, root, switches, services, world);
  CheckHouseMaterials(switches, services, world);
  return 1;
}

namespace {
PictureObserver* processPictures = nullptr;
}  // namespace

void SetPictureObserver(PictureObserver* observer) { processPictures = observer; }

WorldServices::WorldServices() : textureBudget(kTextureBudget), pictures(processPictures) {}

LoadedWorld& ProcessWorld() {
  static LoadedWorld world;
  return world;
}
