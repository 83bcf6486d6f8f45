// Hostile input for every reader: truncated, binary garbage, huge counts,
// 100,000-character lines, CRLF line ends. Nothing may crash, hang or
// allocate without bound (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/scene/SceneNode.h"
#include "engine/picture/Image.h"
#include "engine/world/AseReader.h"
#include "engine/world/ModelFileReader.h"
#include "engine/world/WorldMap.h"
#include "formats/LineReader.h"
#include "tests/world/WorldTestKit.h"

namespace {

std::vector<std::string> Corpus() {
  std::vector<std::string> out;
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int n = 0; n < 8; ++n) {
    std::string garbage(1 + next() % 5000, '\0');
    for (char& c : garbage) c = static_cast<char>(next() >> 24);
    out.push_back(garbage);
  }
  const std::string keywords[] = {"*MESH_NUMFACES", "*MESH_FACE", "*MESH_VERTEX", "*MESH_TVERT", "*MESH_TFACE",
                                  "*MESH_NUMVERTEX", "*MESH_NUMTVERTEX", "*MESH_NUMTVFACES", "*GEOMOBJECT {",
                                  "*MESH {", "}", "*MATERIAL_LIST {", "*MATERIAL_COUNT", "*MATERIAL", "*BITMAP",
                                  "NumFace", "FACE", "VERTEX", "NumVertex", "TVERTEX", "NumTVertex", "TFACE",
                                  "NumTFace", "Height", "NumTexture", "Texture", "Count", "Bitmap", "Pos", "MatID"};
  const std::string numbers[] = {"2000000000", "-2147483648", "2147483647", "-1", "0", "65535", "65536",
                                 "1e39", "nan", "-1.#IND", "A:99999", "0:"};
  for (int n = 0; n < 12; ++n) {
    std::string text;
    for (int line = 0; line < 400; ++line) {
      text += keywords[next() % std::size(keywords)];
      for (int f = 0; f < 5; ++f) text += " " + numbers[next() % std::size(numbers)];
      text += n % 2 ? "\r\n" : "\n";
    }
    out.push_back(text);
  }
  out.push_back("*MESH_NUMFACES 2000000000\n" + std::string(100000, 'x') + "\n*MESH_FACE 5 A: 1\n");
  out.push_back("NumFace " + std::string(100000, '9') + "\r\nFACE 0 1 2 3\r\n");
  out.push_back(std::string(100000, '{') + " {\n" + std::string(100000, '}'));
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "*GEOMOBJECT {\n*MESH {\n";
  out.push_back(deep);
  return out;
}

TEST(Malformed, TextReadersSurviveTheCorpus) {
  ScratchFolder scratch;
  for (const std::string& text : Corpus()) {
    MeshObject model;
    CapturedLog log;
    tarn::formats::LineReader a(text.data(), text.size());
    ReadModelFile(a, text.size(), "m", model, log.Sink());
    EXPECT_LE(model.drawRecord.vertexCount, 3 * model.FaceCount());
    EXPECT_EQ(static_cast<std::size_t>(model.drawRecord.vertexCount), model.Vertices().size());
    EXPECT_LE(model.Vertices().size(), text.size());
    MeshObject house;
    SceneNode root;
    tarn::formats::LineReader b(text.data(), text.size());
    ReadAseHouse(b, text.size(), "h", house, &root, log.Sink());
    EXPECT_LE(house.Vertices().size(), text.size());
    SceneNode mapRoot;
    RenderSwitches switches;
    LoadedWorld world;
    WorldServices services;
    services.log = log.Sink();
    ReadWorldMap(text.data(), text.size(), "map", &mapRoot, &switches, services, world);
    EXPECT_LE(switches.textureCount, kMaxTextures);
  }
}

TEST(Malformed, PictureReadersSurviveTheCorpusAndTruncation) {
  for (const std::string& text : Corpus()) {
    Image img;
    auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    img.ReadBmp(p, text.size(), 0xFFFFFF);
    EXPECT_EQ(img.pixels.size(), std::size_t(img.width) * std::size_t(img.height));
    img.ReadTga(p, text.size());
    EXPECT_EQ(img.pixels.size(), std::size_t(img.width) * std::size_t(img.height));
  }
  for (const std::string& path : {TestData("bmp/pil_g_rgb24.bmp"), TestData("tga/pil_200x32_rgba_tl_raw.tga")}) {
    const char* name = path.c_str();
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(ReadWholeFile(name, file, 1u << 24)) << name;
    for (std::size_t cut = 0; cut <= file.size(); cut += 1 + cut / 3) {
      Image img;
      img.ReadBmp(file.data(), cut, 0xFFFFFF);
      img.ReadTga(file.data(), cut);
      EXPECT_EQ(img.pixels.size(), std::size_t(img.width) * std::size_t(img.height));
    }
  }
}

TEST(Malformed, TruncatedRealExports) {
  const std::string text = ReadFileText(TestData("ase/RotatingCube.ASE"));
  ASSERT_FALSE(text.empty());
  for (std::size_t cut = 0; cut < text.size(); cut += 1 + text.size() / 37) {
    MeshObject house;
    SceneNode root;
    CapturedLog log;
    tarn::formats::LineReader reader(text.data(), cut);
    ReadAseHouse(reader, cut, "h", house, &root, log.Sink());
    EXPECT_LE(house.drawRecord.vertexCount, 3 * house.FaceCount());
    EXPECT_EQ(static_cast<std::size_t>(house.drawRecord.vertexCount), house.Vertices().size());
  }
}

}  // namespace
