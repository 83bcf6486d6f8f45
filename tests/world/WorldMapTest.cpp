// The world map, floor and texture list files, the terrain and the stats.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/world/WorldMap.h"
#include "programs/WorldReport.h"
#include "tests/world/WorldTestKit.h"

namespace {

std::string Model(int material, float x) {
  char text[512];
  std::snprintf(text, sizeof text,
                "m.t3m\nPos %f 0 0\nNumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 1 0 0\nVERTEX 2 0 0 1\n"
                "FACE 0 0 1 2\nMatID %d\nEnd\n",
                static_cast<double>(x), material);
  return text;
}

struct TextureCall {
  int width, height;
};

struct Loader {
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  CapturedLog log;
  std::vector<TextureCall> textures;
  WorldServices services;
  Loader() {
    services.context = this;
    services.createTexture = [](void* c, Image& picture, IDirectDrawSurface7** texture) {
      static_cast<Loader*>(c)->textures.push_back({picture.width, picture.height});
      *texture = nullptr;  // no device here: the table stays empty
      return 1;
    };
    services.log = log.Sink();
  }
  int Load(const char* map) { return LoadWorldMap(map, &root, &switches, services, world); }
  std::vector<const DrawRecord*> Children() const {
    std::vector<const DrawRecord*> out;
    for (const SceneNode* c = root.firstChild.get(); c != nullptr; c = c->nextSibling.get()) out.push_back(c->drawRecord);
    return out;
  }
};

std::string Cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

TEST(WorldMap, FloorModelsLoadInOrderAndAttachInReverse) {
  ScratchFolder scratch;
  for (int i = 0; i < 3; ++i) WriteFile("Model/" + std::to_string(i) + ".t3m", Model(10 + i, 0));
  WriteFile("floor/7.t3m", Model(77, 0));
  WriteFile("f.txt", "NumObject 0\nTest anything\nNumObject 3\nRead 7\nEnd\nRead 7\n");
  WriteFile("exam.map", "\n   \nhouse x.ase 1 0 0 0 0\nWALL 1 2\nTree\nCharacter\nTank\nFloorMap f.txt");
  Loader l;
  const std::string before = Cwd();
  EXPECT_EQ(l.Load("exam.map"), 1);
  EXPECT_EQ(Cwd(), before);
  auto kids = l.Children();
  ASSERT_EQ(kids.size(), 4u);  // the map's last line, without End, is handled once
  EXPECT_EQ(kids[0]->materialIndex, 77);
  EXPECT_EQ(kids[1]->materialIndex, 12);  // the first model child holds model 2
  EXPECT_EQ(kids[3]->materialIndex, 10);
  for (const DrawRecord* r : kids) EXPECT_EQ(r->kind, kDrawCulled);
  EXPECT_TRUE(l.log.lines.empty()) << l.log.lines[0];
  // Each model keeps the floor line that named it, in the order of loading.
  const char* where[] = {"f.txt line 3: Model/0.t3m", "f.txt line 3: Model/1.t3m", "f.txt line 3: Model/2.t3m",
                         "f.txt line 4: floor/7.t3m"};
  ASSERT_EQ(l.world.models.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(l.world.models[i].where, where[i]);
    EXPECT_EQ(&l.world.models[i].mesh->drawRecord, kids[3 - i]);
  }
}

TEST(WorldMap, MissingFilesAreLoggedAndTheRestLoads) {
  ScratchFolder scratch;
  WriteFile("Model/1.t3m", Model(5, 0));
  WriteFile("f.txt", "NumObject 2\n");
  WriteFile("exam.map", "FloorMap gone.txt\nTextureFile gone.lst\nHouse gone.ase 2 0 0 0 0\nFloorMap f.txt\nEnd\n");
  Loader l;
  l.Load("exam.map");
  auto kids = l.Children();
  ASSERT_EQ(kids.size(), 2u);  // model 0 is missing but still attached, empty
  EXPECT_EQ(kids[1]->vertexCount, 0);
  EXPECT_EQ(kids[0]->materialIndex, 5);
  EXPECT_TRUE(l.log.Mentions("gone.txt"));
  EXPECT_TRUE(l.log.Mentions("gone.lst"));
  EXPECT_TRUE(l.log.Mentions("gone.ase"));
  EXPECT_TRUE(l.log.Mentions("0.t3m"));
  // A hostile count: bounded, and the loop gives up after a run of missing files.
  WriteFile("huge.txt", "NumObject 2000000000\n");
  WriteFile("huge.map", "FloorMap huge.txt\n");
  Loader huge;
  huge.Load("huge.map");
  // Model 1 of the folder exists: 0 missing, 1 loaded, then the run of 64.
  EXPECT_EQ(huge.Children().size(), static_cast<std::size_t>(kMaxMissingModels) + 2);
  EXPECT_TRUE(huge.log.Mentions("huge.txt line 1: 2000000000 models"));
  EXPECT_TRUE(huge.log.Mentions("in a row are missing"));
  Loader none;
  EXPECT_EQ(none.Load("nomap.map"), 0);
  EXPECT_TRUE(none.log.Mentions("nomap.map"));
}

TEST(WorldMap, TextureTablesAndPictures) {
  ScratchFolder scratch;
  std::string bmp(58, '\0');
  const unsigned char header[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0,
                                  1, 0, 0, 0, 1, 0, 24, 0};
  std::memcpy(bmp.data(), header, sizeof header);
  WriteFile("texture/a.bmp", bmp);
  WriteFile("b.bmp", bmp);
  WriteFile("f.txt", "Texture 0 a.bmp\nNumTexture 3\nTexture 1 a.bmp\nTexture 2 missing.bmp\nTexture 3 a.bmp\n"
                     "NumTexture 2000000000\nNumTexture 2\n");
  WriteFile("t.lst", "Bitmap 0 b.bmp\nCount\nCount 4\nBitmap 3 b.bmp\nBitmap b.bmp\nEnd\nCount 9\n");
  Loader l;
  WriteFile("exam.map", "FloorMap f.txt\nEnd\n");
  l.Load("exam.map");
  // Before a table, and index 3 of a 3-entry table: skipped and logged.
  EXPECT_TRUE(l.log.Mentions("f.txt line 1"));
  EXPECT_TRUE(l.log.Mentions("f.txt line 5"));
  // A missing picture still reaches the texture maker, empty.
  ASSERT_EQ(l.textures.size(), 2u);
  EXPECT_EQ(l.textures[0].width, 1);
  EXPECT_EQ(l.textures[1].width, 0);
  EXPECT_TRUE(l.log.Mentions("missing.bmp"));
  // A huge count is bounded; the last table is a new empty one of 2.
  EXPECT_TRUE(l.log.Mentions("f.txt line 6"));
  EXPECT_EQ(l.switches.textureCount, 2);

  Loader t;
  WriteFile("exam.map", "TextureFile t.lst\n");
  t.Load("exam.map");
  EXPECT_EQ(t.switches.textureCount, 4);  // "Count" without a number empties, "End" stops
  ASSERT_EQ(t.textures.size(), 2u);       // entry 3, then "Bitmap b.bmp" as index 0
}

TEST(WorldMap, NoDeviceMakesNoTextures) {
  ScratchFolder scratch;
  WriteFile("t.lst", "Count 2\nBitmap 0 b.bmp\n");
  WriteFile("exam.map", "TextureFile t.lst\n");
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  LoadWorldMap("exam.map", &root, &switches, WorldServices{}, world);
  EXPECT_EQ(switches.textureCount, 2);
  EXPECT_EQ(switches.textures[0], nullptr);
  EXPECT_NE(ReadFileText("Tarn.log").find("Error: t.lst line 2"), std::string::npos);
}

TEST(WorldMap, HeightFieldGridAndDebugFile) {
  ScratchFolder scratch;
  WriteFile("exam.map", "Height none.bmp 4 3\nHeight none.bmp 0 0\nHeight x -1 -1\nHeight y 1000 1000\n");
  Loader l;
  l.Load("exam.map");
  ASSERT_EQ(l.world.terrains.size(), 4u);
  const HeightField& t = *l.world.terrains[0];
  EXPECT_EQ(t.gridPointCount, 20);
  EXPECT_EQ(t.triangleCount, 24);
  EXPECT_EQ(t.mesh->FaceIndices().size(), 72u);
  EXPECT_EQ(t.mesh->drawRecord.vertexCount, 72);
  EXPECT_EQ(t.mesh->drawRecord.kind, kDrawAlways);
  EXPECT_EQ(l.world.terrains[1]->gridPointCount, 1);
  EXPECT_EQ(l.world.terrains[1]->mesh->drawRecord.vertexCount, 0);
  EXPECT_EQ(l.world.terrains[2]->triangleCount, 0);
  EXPECT_EQ(l.world.terrains[3]->mesh->drawRecord.vertexCount, 0);  // beyond 16-bit indices
  ASSERT_EQ(l.Children().size(), 4u);
  ASSERT_EQ(l.world.terrainLines.size(), 4u);
  EXPECT_EQ(l.world.terrainLines[1].where, "exam.map line 2: none.bmp");
  EXPECT_EQ(l.world.terrainLines[3].mesh, l.world.terrains[3]->mesh.get());
  // Centred, 40 apart, flat without its picture, facing up.
  float minX = 1e9f, maxX = -1e9f;
  for (const MeshVertex& v : t.mesh->Positions()) {
    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
    EXPECT_EQ(v.y, 0.0f);
  }
  EXPECT_FLOAT_EQ(minX, -80.0f);
  EXPECT_FLOAT_EQ(maxX, 80.0f);
  // One texture repeat per cell.
  EXPECT_FLOAT_EQ(t.mesh->Positions()[19].tu, 4.0f);
  EXPECT_FLOAT_EQ(t.mesh->Positions()[19].tv, 3.0f);
  EXPECT_FLOAT_EQ(t.mesh->Positions()[19].z, 60.0f);
  for (int k = 0; k < 72; ++k) EXPECT_FLOAT_EQ(t.mesh->drawRecord.vertices[k].ny, 1.0f);
  EXPECT_TRUE(std::filesystem::exists("\xED\x95\x98\xEC\x9D\xB4\xED\x8A\xB8\xED\x95\x84\xEB\x93\x9C.txt"));
  EXPECT_EQ(ReadFileText("\xED\x95\x98\xEC\x9D\xB4\xED\x8A\xB8\xED\x95\x84\xEB\x93\x9C.txt"), "");
}

TEST(WorldMap, HeightsFollowThePicture) {
  ScratchFolder scratch;
  // 2 x 1 picture: black on the left, white on the right.
  std::string bmp(62, '\0');
  const unsigned char header[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                                  1, 0, 0, 0, 1, 0, 24, 0};
  std::memcpy(bmp.data(), header, sizeof header);
  bmp[57] = bmp[58] = bmp[59] = '\xFF';
  WriteFile("h.bmp", bmp);
  WriteFile("exam.map", "Height h.bmp 2 2\n");
  Loader l;
  l.Load("exam.map");
  const MeshObject& m = *l.world.terrains[0]->mesh;
  EXPECT_FLOAT_EQ(m.Positions()[0].y, 0.0f);
  EXPECT_FLOAT_EQ(m.Positions()[2].y, 20.0f);
  EXPECT_LT(m.Positions()[1].nx, 0.0f);  // the slope rises to +x: the normal leans to -x
}

TEST(WorldMap, StatsLines) {
  ScratchFolder scratch;
  WriteFile("Model/0.t3m", Model(3, 1.5f));
  WriteFile("f.txt", "NumTexture 2\nNumObject 1\n");
  WriteFile("exam.map", "FloorMap f.txt\nHeight none 1 1\n");
  Loader l;
  l.Load("exam.map");
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  PrintWorldStats(out, &l.root, &l.switches);
  std::fclose(out);
  EXPECT_EQ(std::string(text, size),
            "object 0 kind 2 vertices 6 material 0 ref 0.0000 0.0000 0.0000\n"
            "object 1 kind 1 vertices 3 material 3 ref 1.5000 0.0000 0.0000\n"
            "textures 2\ntexture 0 none\ntexture 1 none\n");
  std::free(text);
}

}  // namespace
