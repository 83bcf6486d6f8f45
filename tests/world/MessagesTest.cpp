// What a person is told: why a picture is not read, a house file that is no
// export, a name written in UTF-8, and the log's count of problems.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "engine/log/TarnLog.h"
#include "engine/picture/Image.h"
#include "engine/world/WorldMap.h"
#include "platform/codepage/Cp949.h"
#include "tests/world/WorldTestKit.h"

namespace {

std::vector<std::uint8_t> Header(std::size_t size, std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields,
                                 int width) {
  std::vector<std::uint8_t> v(size, 0);
  for (auto [at, value] : fields)
    for (int b = 0; b < width && at + b < size; ++b) v[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
  return v;
}

// A BMP of w x h at `bits`, with `dataBytes` bytes of pixels after a 54-byte header.
std::vector<std::uint8_t> Bmp(int w, int h, int bits, std::size_t dataBytes, int compression = 0) {
  auto v = Header(54 + dataBytes, {{10, 54}, {18, static_cast<std::uint32_t>(w)}, {22, static_cast<std::uint32_t>(h)}}, 4);
  v[0] = 'B', v[1] = 'M', v[28] = static_cast<std::uint8_t>(bits), v[30] = static_cast<std::uint8_t>(compression);
  return v;
}

std::vector<std::uint8_t> Tga(int w, int h, int bits, int type, std::size_t dataBytes) {
  auto v = Header(18 + dataBytes, {{12, static_cast<std::uint32_t>(w)}, {14, static_cast<std::uint32_t>(h)}}, 2);
  v[2] = static_cast<std::uint8_t>(type), v[16] = static_cast<std::uint8_t>(bits);
  return v;
}

const std::vector<std::uint8_t> kPng = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};

TEST(PictureFault, SaysWhyOrWhereItStops) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool tga;
    bool read;           // what the reader does with it
    const char* says;    // "" : nothing to say
  };
  const Case cases[] = {
      {"png as bmp", kPng, false, false, "PNG data, not a BMP picture"},
      {"png as tga", kPng, true, false, "PNG data, not a TGA picture"},
      {"text as bmp", {'h', 'e', 'l', 'l', 'o'}, false, false, "no \"BM\" at its start, not a BMP picture"},
      {"bmp header cut", {'B', 'M', 0, 0, 0}, false, false, "cut off in its header (5 bytes)"},
      {"rle8 bmp", Bmp(2, 2, 8, 16, 1), false, false, "a run-length 8-bit BMP (compression 1), which is not read"},
      {"32-bit bmp", Bmp(2, 2, 32, 16), false, false, "a BMP of 32 bits a pixel, which is not read"},
      {"bmp of no rows", Bmp(2, 0, 24, 16), false, false, "a BMP of 2 x 0 pixels"},
      {"bmp header larger than data", Bmp(100, 100, 24, 16), false, false, "cut off: 100 x 100 pixels, but only 16"},
      // 2 x 4 at 24 bits: rows of 8 bytes; 20 bytes hold two rows and a half.
      {"bmp cut in row 3", Bmp(2, 4, 24, 20), false, true, "cut off at row 3 of 4; the rest is transparent black"},
      {"whole bmp", Bmp(2, 4, 24, 32), false, true, ""},
      {"rle tga", Tga(2, 2, 24, 10, 12), true, false, "a run-length TGA (image type 10), which is not read"},
      {"grey tga", Tga(2, 2, 8, 3, 12), true, false, "a greyscale TGA (image type 3)"},
      {"16-bit tga", Tga(2, 2, 16, 2, 12), true, false, "a TGA of 16 bits a pixel, which is not read"},
      {"tga header cut", {0, 0, 2, 0}, true, false, "cut off in its header (4 bytes)"},
      // 2 x 3 at 32 bits: rows of 8 bytes; 10 bytes hold one row and a bit.
      {"tga cut in row 2", Tga(2, 3, 32, 2, 10), true, true, "cut off at row 2 of 3"},
      {"whole tga", Tga(2, 3, 32, 2, 24), true, true, ""},
  };
  for (const Case& c : cases) {
    Image image;
    const int read = c.tga ? image.ReadTga(c.bytes.data(), c.bytes.size()) : image.ReadBmp(c.bytes.data(), c.bytes.size(), 0);
    EXPECT_EQ(read != 0, c.read) << c.what;
    const std::string says = PictureFault(c.bytes.data(), c.bytes.size(), c.tga);
    if (c.says[0] == '\0')
      EXPECT_EQ(says, "") << c.what;
    else
      EXPECT_NE(says.find(c.says), std::string::npos) << c.what << ": " << says;
  }
}

struct World {
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  CapturedLog log;
  WorldServices services;
  std::vector<int> textureWidths;
  World() {
    services.context = this;
    services.createTexture = [](void* c, Image& picture, IDirectDrawSurface7** texture) {
      static_cast<World*>(c)->textureWidths.push_back(picture.width);
      *texture = nullptr;
      return 1;
    };
    services.log = log.Sink();
  }
  void Load() { LoadWorldMap("exam.map", &root, &switches, services, world); }
  int Children() const {
    int n = 0;
    for (const SceneNode* c = root.firstChild.get(); c != nullptr; c = c->nextSibling.get()) ++n;
    return n;
  }
  // The log as the Linux log file shows it.
  bool Says(const std::string& utf8) const {
    for (const std::string& line : log.lines)
      if (tarn::codepage::Cp949ToUtf8(line).find(utf8) != std::string::npos) return true;
    return false;
  }
};

const char kHouse[] =
    "*3DSMAX_ASCIIEXPORT 200\n*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_VERTEX_LIST {\n"
    "*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n*MESH_VERTEX 2 0 1 0\n}\n*MESH_FACE_LIST {\n"
    "*MESH_FACE 0: A: 0 B: 1 C: 2\n}\n}\n}\n";

TEST(WorldMessages, NamesInUtf8NotesAndUnreadPictures) {
  ScratchFolder scratch;
  std::string bmp(58, '\0');
  const unsigned char header[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0,
                                  1, 0, 0, 0, 1, 0, 24, 0};
  for (std::size_t i = 0; i < sizeof header; ++i) bmp[i] = static_cast<char>(header[i]);
  WriteFile("caf\xC3\xA9.ase", kHouse);          // a UTF-8 name on disk, as a Linux editor makes it
  WriteFile("\xC3\xBC.bmp", bmp);
  WriteFile("crate.ase", "a list of crates, not an export\n");
  WriteFile("shot.bmp", std::string(kPng.begin(), kPng.end()));
  WriteFile("t.lst", "Count 3\nBitmap 0 \xC3\xBC.bmp\nBitmap 1 shot.bmp\nBitmap 2 n\xC3\xA9.bmp\n");
  WriteFile("exam.map", "House caf\xC3\xA9.ase 0\nHouse crate.ase 0\nHouse n\xC3\xA9.ase 0\nTextureFile t.lst\n");
  World w;
  w.Load();
  // The UTF-8 names open, each with its one line.
  EXPECT_EQ(w.Children(), 1);
  EXPECT_TRUE(w.Says("exam.map line 1: caf")) << w.log.lines.size();
  EXPECT_TRUE(w.Says("opened it read as UTF-8 (\"caf\xC3\xA9.ase\")"));
  ASSERT_EQ(w.textureWidths.size(), 3u);
  EXPECT_EQ(w.textureWidths[0], 1);
  EXPECT_TRUE(w.Says("t.lst line 2: "));
  // A text file with the ending, a picture that is PNG data, names found under neither reading.
  EXPECT_TRUE(w.Says("exam.map line 2: crate.ase: no ASE line"));
  EXPECT_TRUE(w.Says("t.lst line 3: shot.bmp: the picture could not be read: PNG data, not a BMP picture"));
  EXPECT_TRUE(w.Says("exam.map line 3: "));
  EXPECT_TRUE(w.Says("cannot open the house file (looked for as code page 949 \""));
  EXPECT_TRUE(w.Says("and as UTF-8 \"n\xC3\xA9.ase\")"));
  EXPECT_TRUE(w.Says("t.lst line 4: n"));
  EXPECT_TRUE(w.Says("cannot open the picture (looked for as code page 949"));
  // One line for each, nothing else.
  EXPECT_EQ(w.log.lines.size(), 6u);
}

TEST(TarnLog, Utf8OnLinuxAndTheCountOfProblems) {
  ScratchFolder scratch;
  const int before = RunProblems().count;
  WriteLog(1, "Create BackBuffer");  // the set-up's step: logged, not a problem of the world
  EXPECT_EQ(RunProblems().count, before);
  AppendTarnLogError("\xC7\xCF.ase: cannot open the house file");  // 하 in code page 949
  EXPECT_EQ(RunProblems().count, before + 1);
  EXPECT_EQ(ReadFileText("Tarn.log"), "Error: Create BackBuffer\nError: \xED\x95\x98.ase: cannot open the house file\n");

  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  SetLogProgramName("tarnview-replay");
  SayLoadProblems(out);
  std::rewind(out);
  char line[2048] = "";
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  std::fclose(out);
  const std::regex said("tarnview-replay: [0-9]+ problems? loading the world, first: .*; see /.*/Tarn\\.log\n");
  EXPECT_TRUE(std::regex_match(std::string(line), said)) << line;
  if (before == 0) {
    EXPECT_NE(std::string(line).find("first: \xED\x95\x98.ase"), std::string::npos) << line;
  }
}

}  // namespace
