// The world map, floor and texture list readers.
#include "engine/world/WorldMap.h"

#include <ddraw.h>

#include <cstring>
#include <string>

#include "formats/LineReader.h"
#include "formats/LineScan.h"
#include "platform/files/AnsiFile.h"

namespace fmt = tarn::formats;

namespace {

constexpr int kPathBuffer = 4096;

// Enters a subfolder and comes back to the folder that was current before,
// whatever happens in between.
class FolderVisit {
 public:
  explicit FolderVisit(const char* folder) {
    if (_getcwd(saved_, kPathBuffer) == nullptr) return;
    haveSaved_ = true;
    entered_ = _chdir(folder) == 0;
  }
  ~FolderVisit() {
    if (haveSaved_ && entered_) _chdir(saved_);
  }
  FolderVisit(const FolderVisit&) = delete;
  FolderVisit& operator=(const FolderVisit&) = delete;
  bool Entered() const { return entered_; }

 private:
  char saved_[kPathBuffer];
  bool haveSaved_ = false;
  bool entered_ = false;
};

std::FILE* OpenText(const char* path, const char* what, const LoadLog& log) {
  std::FILE* f = tarn::files::AnsiFopen(path, "rt");
  if (f == nullptr) log.Error("%s: cannot open the %s", path, what);
  return f;
}

// Loads picture `name` into texture entry `index` of the current table.
void MakeTexture(const char* listName, long line, int index, const char* name, RenderSwitches* switches,
                 const WorldServices& services) {
  if (switches == nullptr) return;
  if (index < 0 || index >= switches->textureCount || switches->textures == nullptr) {
    services.log.Error("%s line %ld: texture index %d is outside the table of %d entries", listName, line, index,
                       switches->textureCount);
    return;
  }
  Image picture;
  if (picture.LoadPicture(name) == 0 || picture.pixels.empty()) {
    // An ending the loader does not read (jpg) is not an error of the file.
    if (tarn::files::AnsiFileSize(name, nullptr) != 0)
      services.log.Error("%s line %ld: cannot open the picture %s", listName, line, name);
    else if (picture.pixels.empty())
      services.log.Error("%s line %ld: the picture %s could not be read", listName, line, name);
  }
  if (services.createTexture == nullptr) return;
  IDirectDrawSurface7*& slot = switches->textures[index];
  if (slot != nullptr) {
    slot->Release();
    slot = nullptr;
  }
  services.createTexture(services.context, picture, &slot);
}

void ResetTable(const char* listName, long line, int n, RenderSwitches* switches, const WorldServices& services) {
  if (switches == nullptr) return;
  if (n < 0 || n > kMaxTextures) {
    services.log.Error("%s line %ld: texture count %d is outside 0 to %d, read as %d", listName, line, n, kMaxTextures,
                       n < 0 ? 0 : kMaxTextures);
    n = n < 0 ? 0 : kMaxTextures;
  }
  switches->ResetTextureTable(n);
}

MeshObject& NewMesh(LoadedWorld& world) {
  world.meshes.push_back(std::make_unique<MeshObject>());
  return *world.meshes.back();
}

// False (and one log line per world) once the world holds its budget.
bool HasRoom(LoadedWorld& world, const char* fileName, long line, const WorldServices& services) {
  if (world.bytes < kWorldBudget) return true;
  if (!world.budgetLogged)
    services.log.Error("%s line %ld: the world already holds %zu MB; this and later objects are not loaded",
                       fileName, line, world.bytes >> 20);
  world.budgetLogged = true;
  return false;
}

// Returns whether the model file could be opened.
bool LoadModel(const char* folder, int number, SceneNode* root, LoadedWorld& world, const WorldServices& services,
               const char* floorName, long line) {
  if (!HasRoom(world, floorName, line, services)) return true;
  MeshObject& mesh = NewMesh(world);
  mesh.drawRecord.kind = kDrawCulled;
  bool opened = false;
  {
    FolderVisit visit(folder);
    if (visit.Entered()) {
      char name[32];
      std::snprintf(name, sizeof name, "%d.t3m", number);
      mesh.LoadModelFile(name, services.log, &opened);
    } else {
      services.log.Error("%s line %ld: cannot enter the folder %s for model %d", floorName, line, folder, number);
    }
  }
  world.bytes += mesh.MemoryBytes();
  if (root != nullptr) root->AttachDrawable(&mesh.drawRecord);
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
      const long at = reader.LineNumber();
      if (n > kMaxModels) {
        services.log.Error("%s line %ld: %d models is more than %d, read as %d", name, at, n, kMaxModels, kMaxModels);
        n = kMaxModels;
      }
      int missing = 0;
      for (int i = 0; i < n; ++i) {
        missing = LoadModel("Model", i, root, world, services, name, at) ? 0 : missing + 1;
        if (missing == kMaxMissingModels && i + 1 < n) {
          services.log.Error("%s line %ld: %d model files in a row are missing; models %d to %d are not loaded", name,
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
        services.log.Error("%s line %ld: cannot enter the folder texture", name, reader.LineNumber());
      else
        MakeTexture(name, reader.LineNumber(), index, text, switches, services);
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
      MakeTexture(name, reader.LineNumber(), index, text, switches, services);
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
        services.log.Error("%s line %ld: House without a file name", name, reader.LineNumber());
        continue;
      }
      if (!HasRoom(world, name, reader.LineNumber(), services)) continue;
      MeshObject& mesh = NewMesh(world);
      mesh.drawRecord.materialIndex = material;
      mesh.drawRecord.kind = kDrawCulled;
      mesh.LoadAseHouse(text, root, services.log);
      world.bytes += mesh.MemoryBytes();
    } else if (reader.Is("FloorMap")) {
      // FloorMap file
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
      LoadFloorMap(text, root, switches, services, world);
    } else if (reader.Is("TextureFile")) {
      // TextureFile file
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
      LoadTextureList(text, switches, services);
    } else if (reader.Is("Height")) {
      // Height picture columns rows
      if (!HasRoom(world, name, reader.LineNumber(), services)) continue;
      world.terrains.push_back(std::make_unique<HeightField>());
      HeightField& terrain = *world.terrains.back();
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s %d %d", word, text, &terrain.columns, &terrain.rows);
      terrain.pictureName = text;
      terrain.BuildHeightField(services.log);
      world.bytes += terrain.mesh->MemoryBytes();
      terrain.mesh->drawRecord.kind = kDrawAlways;
      if (root != nullptr) root->AttachDrawable(&terrain.mesh->drawRecord);
    } else if (reader.Is("End")) {
      break;
    }
    // WALL, Character, Tank, Tree: recognised, nothing to do.
  }
}

}  // namespace

int LoadFloorMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world) {
  std::FILE* f = OpenText(path, "floor file", services.log);
  if (f == nullptr) return 0;
  fmt::LineReader reader(f);
  ReadFloor(reader, path, root, switches, services, world);
  std::fclose(f);
  return 1;
}

int LoadTextureList(const char* path, RenderSwitches* switches, const WorldServices& services) {
  std::FILE* f = OpenText(path, "texture list", services.log);
  if (f == nullptr) return 0;
  fmt::LineReader reader(f);
  ReadTextureList(reader, path, switches, services);
  std::fclose(f);
  return 1;
}

int ReadWorldMap(const char* data, std::size_t size, const char* name, SceneNode* root, RenderSwitches* switches,
                 const WorldServices& services, LoadedWorld& world) {
  FolderVisit stay(".");
  fmt::LineReader reader(data, size);
  ReadMap(reader, name, root, switches, services, world);
  return 1;
}

int LoadWorldMap(const char* path, SceneNode* root, RenderSwitches* switches, const WorldServices& services,
                 LoadedWorld& world) {
  FolderVisit stay(".");
  std::FILE* f = OpenText(path, "world map", services.log);
  if (f == nullptr) return 0;
  fmt::LineReader reader(f);
  ReadMap(reader, path, root, switches, services, world);
  std::fclose(f);
  return 1;
}

LoadedWorld& ProcessWorld() {
  static LoadedWorld world;
  return world;
}
