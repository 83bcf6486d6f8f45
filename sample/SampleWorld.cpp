// Writes the sample world into the folder named on the command line:
// tarn.cfg, exam.map, a texture list, a floor file with its model files in
// Model/ and floor/, pictures in the folder and in texture/, two houses as
// 3ds Max ASCII exports and the terrain's height picture.
//
// Layout (engine units, y up; the camera starts at (0, 1, 0) looking +z):
// a stone plaza in front of the camera, two houses beyond it, trees and a
// well around them, all on the flat middle of a terrain whose edges rise
// into hills.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sample/SampleGeometry.h"
#include "sample/SamplePictures.h"

using namespace sample;

namespace {

bool Text(const std::string& path, const char* text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fputs(text, f);
  return std::fclose(f) == 0;
}

// Regions of a house's texture atlas (v = 0 is the top row).
constexpr Rect kWalls{0.0f, 0.5f, 1.0f, 1.0f};
constexpr Rect kRoof{0.0f, 0.0f, 0.5f, 0.5f};
constexpr Rect kDoor{0.5f, 0.0f, 0.75f, 0.5f};
constexpr Rect kWindow{0.75f, 0.0f, 1.0f, 0.25f};

Canvas HouseAtlas(std::uint32_t brick, int glassAlpha) {
  Canvas c(128, 128, Rgb(0, 0, 0));
  Bricks(c, 0, 64, 128, 128, brick);
  RoofTiles(c, 0, 0, 64, 64);
  Door(c, 64, 0, 96, 64);
  Window(c, 96, 0, 128, 32, glassAlpha);
  Bricks(c, 96, 32, 128, 64, brick);
  return c;
}

// A house of w x d footprint centred on (cx, cz): four walls, gables on the
// sides, a two-sided pitched roof with eaves, a door and windows at the
// front (-z) and windows on the sides.
MeshBuilder House(float cx, float cz, float w, float d, float wallHeight, float roofHeight) {
  MeshBuilder m;
  const float x0 = cx - w / 2, x1 = cx + w / 2, z0 = cz - d / 2, z1 = cz + d / 2, zc = cz;
  const float h = wallHeight, top = wallHeight + roofHeight;
  m.QuadInRect({x0, 0, z0}, {x0, h, z0}, {x1, h, z0}, {x1, 0, z0}, kWalls, {0, 0, -1});
  m.QuadInRect({x1, 0, z1}, {x1, h, z1}, {x0, h, z1}, {x0, 0, z1}, kWalls, {0, 0, 1});
  m.QuadInRect({x0, 0, z1}, {x0, h, z1}, {x0, h, z0}, {x0, 0, z0}, kWalls, {-1, 0, 0});
  m.QuadInRect({x1, 0, z0}, {x1, h, z0}, {x1, h, z1}, {x1, 0, z1}, kWalls, {1, 0, 0});
  // Gables, in the brick part of the atlas.
  const UV g0{0.0f, 1.0f}, g1{1.0f, 1.0f}, gTop{0.5f, 0.55f};
  m.Triangle({x0, h, z1}, {x0, top, zc}, {x0, h, z0}, g0, gTop, g1, {-1, 0, 0});
  m.Triangle({x1, h, z0}, {x1, top, zc}, {x1, h, z1}, g0, gTop, g1, {1, 0, 0});
  // Roof with an overhang of `o` past the walls.
  const float o = 0.5f, drop = o * roofHeight / (d / 2);
  m.QuadInRect({x0 - o, h - drop, z0 - o}, {x0 - o, top, zc}, {x1 + o, top, zc}, {x1 + o, h - drop, z0 - o}, kRoof,
               {0, 1, -1});
  m.QuadInRect({x1 + o, h - drop, z1 + o}, {x1 + o, top, zc}, {x0 - o, top, zc}, {x0 - o, h - drop, z1 + o}, kRoof,
               {0, 1, 1});
  // Door and windows stand a little in front of their wall.
  const float e = 0.03f;
  m.QuadInRect({cx - 0.6f, 0, z0 - e}, {cx - 0.6f, 2.2f, z0 - e}, {cx + 0.6f, 2.2f, z0 - e}, {cx + 0.6f, 0, z0 - e},
               kDoor, {0, 0, -1});
  for (float wx : {x0 + w * 0.2f, x1 - w * 0.2f}) {
    m.QuadInRect({wx - 0.5f, 1.2f, z0 - e}, {wx - 0.5f, 2.2f, z0 - e}, {wx + 0.5f, 2.2f, z0 - e},
                 {wx + 0.5f, 1.2f, z0 - e}, kWindow, {0, 0, -1});
  }
  m.QuadInRect({x0 - e, 1.2f, cz + 0.5f}, {x0 - e, 2.2f, cz + 0.5f}, {x0 - e, 2.2f, cz - 0.5f},
               {x0 - e, 1.2f, cz - 0.5f}, kWindow, {-1, 0, 0});
  m.QuadInRect({x1 + e, 1.2f, cz - 0.5f}, {x1 + e, 2.2f, cz - 0.5f}, {x1 + e, 2.2f, cz + 0.5f},
               {x1 + e, 1.2f, cz + 0.5f}, kWindow, {1, 0, 0});
  return m;
}

// A tree: a trunk and three crossed planes of leaves, each seen from both
// sides. Atlas tree.tga: bark in x < 32, leaves beyond.
MeshBuilder Tree(float cx, float cz, float size) {
  MeshBuilder m;
  // The leaves keep two texels off the bark and off the wrap-around edge, so
  // that filtering never pulls an opaque bark texel onto a leaf plane's rim.
  const Rect bark{0.0f, 0.0f, 0.25f, 1.0f}, leaves{0.27f, 0.02f, 0.98f, 0.98f};
  const float t = 0.2f * size;
  m.Box({cx - t, 0, cz - t}, {cx + t, 2.2f * size, cz + t}, bark);
  const float r = 1.8f * size, y0 = 1.2f * size, y1 = 5.0f * size;
  for (int k = 0; k < 3; ++k) {
    const float a = static_cast<float>(k) * 3.14159265f / 3.0f;
    const float dx = r * std::cos(a), dz = r * std::sin(a);
    const P3 n{-std::sin(a), 0, std::cos(a)};
    const P3 p0{cx - dx, y0, cz - dz}, p1{cx - dx, y1, cz - dz}, p2{cx + dx, y1, cz + dz}, p3{cx + dx, y0, cz + dz};
    m.QuadInRect(p0, p1, p2, p3, leaves, n);
    m.QuadInRect(p3, p2, p1, p0, leaves, {-n.x, 0, -n.z});
  }
  return m;
}

// A round well of stone: an open ring of low boxes.
MeshBuilder Well(float cx, float cz) {
  MeshBuilder m;
  const Rect stone{0.0f, 0.0f, 0.5f, 0.5f};
  for (int k = 0; k < 12; ++k) {
    const float a = static_cast<float>(k) * 3.14159265f / 6.0f;
    const float x = cx + 1.2f * std::cos(a), z = cz + 1.2f * std::sin(a);
    m.Box({x - 0.33f, 0, z - 0.33f}, {x + 0.33f, 0.9f, z + 0.33f}, stone);
  }
  return m;
}

MeshBuilder Plaza(float x0, float z0, float x1, float z1) {
  MeshBuilder m;
  const float y = 0.04f;
  const UV uv[4] = {{0, 4}, {0, 0}, {4, 0}, {4, 4}};  // the stones repeat four times
  m.Quad({x0, y, z0}, {x0, y, z1}, {x1, y, z1}, {x1, y, z0}, uv, {0, 1, 0});
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: tarn-sample-world WORLD-FOLDER [MODEL-SOURCE-FOLDER]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string sources = argc == 3 ? argv[2] : "";
  for (const std::string& d : {dir, dir + "/Model", dir + "/floor", dir + "/texture"}) mkdir(d.c_str(), 0755);
  bool ok = true;

  ok &= Text(dir + "/tarn.cfg", "Screen 800 600\n");
  ok &= Text(dir + "/exam.map",
             "TextureFile textures.lst\n"
             "FloorMap floor.txt\n"
             "House house1.ase 1 0.0 0.0 0.0 0.0\n"
             "House house2.ase 2 0.0 0.0 0.0 0.0\n"
             "Height heights.bmp 10 10\n"
             "WALL\n"
             "Tree\n"
             "End\n");
  ok &= Text(dir + "/textures.lst",
             "Count 5\n"
             "Bitmap 0 grass.bmp\n"
             "Bitmap 1 house_a.tga\n"
             "Bitmap 2 house_b.bmp\n"
             "End\n");
  ok &= Text(dir + "/floor.txt",
             "NumObject 6\n"
             "Read 0\n"
             "Texture 3 tree.tga\n"
             "Texture 4 stone.bmp\n"
             "Test\n"
             "End\n");

  // Pictures: BMP 24 and TGA 32 (with alpha), both row orders of TGA.
  Canvas grass(128, 128, 0);
  Grass(grass);
  ok &= WriteBmp24(dir + "/grass.bmp", grass);
  ok &= WriteTga32(dir + "/house_a.tga", HouseAtlas(Rgb(168, 72, 52), 220), true);
  ok &= WriteBmp24(dir + "/house_b.bmp", HouseAtlas(Rgb(196, 160, 96), 255));
  Canvas tree(128, 128, Rgb(0, 0, 0, 0));
  Bark(tree, 0, 0, 32, 128);
  Leaves(tree, 32, 0, 128, 128);
  ok &= WriteTga32(dir + "/texture/tree.tga", tree, false);
  Canvas stone(64, 64, 0);
  Stone(stone);
  ok &= WriteBmp24(dir + "/texture/stone.bmp", stone);
  // Heights: black (flat) in the middle, rising to white at the rim.
  Canvas heights(64, 64, 0);
  heights.Fill(0, 0, 64, 64, [](int x, int y) {
    const float dx = (static_cast<float>(x) - 31.5f) / 31.5f, dy = (static_cast<float>(y) - 31.5f) / 31.5f;
    const float r = std::sqrt(dx * dx + dy * dy);
    float k = r < 0.25f ? 0.0f : (r - 0.25f) / 0.75f;
    k = k > 1.0f ? 1.0f : k * k * (3.0f - 2.0f * k);
    k *= 0.75f + 0.25f * Hash(x / 4, y / 4, 12);
    const int v = static_cast<int>(255.0f * k);
    return Rgb(v, v, v);
  });
  ok &= WriteBmp24(dir + "/heights.bmp", heights);

  // Houses: one mesh each, its walls, roof and door in one atlas.
  ok &= WriteAse(dir + "/house1.ase", {"house_a.tga"},
                 {{"House01", {-9.0f, 0.0f, 24.0f}, 0, House(-9.0f, 24.0f, 8.0f, 6.0f, 3.5f, 2.2f)}});
  ok &= WriteAse(dir + "/house2.ase", {"house_b.bmp"},
                 {{"House02", {9.0f, 0.0f, 30.0f}, 0, House(9.0f, 30.0f, 7.0f, 7.0f, 3.0f, 2.6f)}});

  // Model files: five trees and the well for Model/, the plaza for floor/.
  // With a source folder, they are written there as ASE exports (the
  // material references are the world's texture indices) for the tool's
  // converter; without one, as model files straight away.
  const float trees[5][3] = {{-3.0f, 38.0f, 1.0f}, {3.5f, 18.0f, 0.8f}, {-17.0f, 14.0f, 1.2f}, {18.0f, 20.0f, 1.0f},
                             {0.0f, 46.0f, 1.3f}};
  std::vector<AseObject> models;
  for (int i = 0; i < 5; ++i)
    models.push_back({"Tree0" + std::to_string(i + 1), {trees[i][0], 0.0f, trees[i][1]}, 3,
                      Tree(trees[i][0], trees[i][1], trees[i][2])});
  models.push_back({"Well01", {-2.5f, 0.0f, 12.0f}, 4, Well(-2.5f, 12.0f)});
  std::vector<AseObject> floor{{"Plaza01", {0.0f, 0.0f, 14.0f}, 4, Plaza(-6.0f, 5.0f, 6.0f, 22.0f)}};
  const std::vector<std::string> pictures{"grass.bmp", "house_a.tga", "house_b.bmp", "tree.tga", "stone.bmp"};
  if (!sources.empty()) {
    mkdir(sources.c_str(), 0755);
    ok &= WriteAse(sources + "/models.ase", pictures, models);
    ok &= WriteAse(sources + "/floor.ase", pictures, floor);
  } else {
    for (std::size_t i = 0; i < models.size(); ++i) {
      const std::string name = std::to_string(i) + ".t3m";
      ok &= WriteModelFile(dir + "/Model/" + name, name, models[i].pivot, models[i].materialRef, models[i].mesh);
    }
    ok &= WriteModelFile(dir + "/floor/0.t3m", "0.t3m", floor[0].pivot, floor[0].materialRef, floor[0].mesh);
  }

  if (!ok) {
    std::fprintf(stderr, "tarn-sample-world: could not write the world into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
