// The terrain grid: counts, storage and shape.
#include "engine/world/HeightField.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/picture/Image.h"
#include "platform/files/AnsiFile.h"

const char kHeightFieldDebugFile[] = "\xC7\xCF\xC0\xCC\xC6\xAE\xC7\xCA\xB5\xE5.txt";

HeightField::HeightField() : mesh(std::make_unique<MeshObject>()) {}

int HeightField::BuildHeightField(const LoadLog& log) {
  if (columns < 0) columns = 0;
  if (rows < 0) rows = 0;
  const std::int64_t points = (static_cast<std::int64_t>(columns) + 1) * (static_cast<std::int64_t>(rows) + 1);
  // Beside the log when the log left a world folder that is not ours.
  if (std::FILE* debug = OpenBesideLog(kHeightFieldDebugFile, tarn::files::OwnFile::kEmpty)) {
    std::fclose(debug);
  } else {
    static bool told = false;  // once a run: two "Height" lines meet the same file
    if (!told)
      std::fprintf(stderr, "하이트필드.txt: %s; the terrain's debug file is not written\n",
                   tarn::files::LastErrorText().c_str());
    told = true;
  }
  if (points > MeshObject::kMaxIndexed) {
    log.Error("%s: a terrain of %d x %d cells is more than 16-bit indices can draw", pictureName.c_str(), columns, rows);
    gridPointCount = triangleCount = 0;
    return 0;
  }
  gridPointCount = static_cast<std::int32_t>(points);
  triangleCount = 2 * columns * rows;
  MeshObject& m = *mesh;

  Image picture;
  std::string why;
  if (!pictureName.empty()) {
    const char* name = pictureName.c_str();
    if (picture.LoadPicture(name, &why) == 0 && tarn::files::AnsiFileSize(name, nullptr) != 0)
      log.Error("%s: cannot open the height picture; the terrain is flat", name);
    else if (picture.pixels.empty())
      log.Error("%s: the height picture could not be read: %s; the terrain is flat", name,
                why.empty() ? "its name ends neither in bmp nor in tga" : why.c_str());
    else if (!why.empty())
      log.Error("%s: %s", name, why.c_str());
  }
  const bool shaped = !picture.pixels.empty();

  const int across = columns + 1, deep = rows + 1;
  const float x0 = -0.5f * spacing * static_cast<float>(columns);
  const float z0 = -0.5f * spacing * static_cast<float>(rows);
  std::vector<float> height(static_cast<std::size_t>(gridPointCount), 0.0f);
  if (shaped) {
    for (int r = 0; r < deep; ++r) {
      // Grid row r runs from -z (the picture's top row) to +z.
      const int py = rows == 0 ? 0 : static_cast<int>((static_cast<std::int64_t>(r) * (picture.height - 1) + rows / 2) / rows);
      for (int c = 0; c < across; ++c) {
        const int px = columns == 0 ? 0 : static_cast<int>((static_cast<std::int64_t>(c) * (picture.width - 1) + columns / 2) / columns);
        const std::uint32_t p = picture.pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(px)];
        const float brightness = static_cast<float>(((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255)) / (3.0f * 255.0f);
        height[static_cast<std::size_t>(r) * static_cast<std::size_t>(across) + static_cast<std::size_t>(c)] = brightness * heightScale;
      }
    }
  }
  std::vector<MeshVertex> positions(static_cast<std::size_t>(gridPointCount), MeshVertex{});
  auto at = [&](int c, int r) {
    c = c < 0 ? 0 : c >= across ? across - 1 : c;
    r = r < 0 ? 0 : r >= deep ? deep - 1 : r;
    return height[static_cast<std::size_t>(r) * static_cast<std::size_t>(across) + static_cast<std::size_t>(c)];
  };
  for (int r = 0; r < deep; ++r) {
    for (int c = 0; c < across; ++c) {
      MeshVertex& v = positions[static_cast<std::size_t>(r) * static_cast<std::size_t>(across) + static_cast<std::size_t>(c)];
      v.x = x0 + spacing * static_cast<float>(c);
      v.z = z0 + spacing * static_cast<float>(r);
      v.y = at(c, r);
      // Central differences over two cells give the slope; the normal is
      // (-dh/dx, 1, -dh/dz) normalised.
      const float dx = (at(c + 1, r) - at(c - 1, r)) / (2.0f * spacing);
      const float dz = (at(c, r + 1) - at(c, r - 1)) / (2.0f * spacing);
      const float length = std::sqrt(dx * dx + 1.0f + dz * dz);
      v.nx = -dx / length, v.ny = 1.0f / length, v.nz = -dz / length;
      v.tu = static_cast<float>(c);
      v.tv = static_cast<float>(r);
    }
  }
  std::vector<std::uint16_t> faceIndices(3 * static_cast<std::size_t>(triangleCount));
  std::size_t k = 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const auto p = [&](int cc, int rr) { return static_cast<std::uint16_t>(rr * across + cc); };
      // (c, r), (c, r + 1), (c + 1, r) and (c + 1, r), (c, r + 1), (c + 1, r + 1):
      // clockwise seen from +y, so the upper side is the front.
      faceIndices[k++] = p(c, r), faceIndices[k++] = p(c, r + 1), faceIndices[k++] = p(c + 1, r);
      faceIndices[k++] = p(c + 1, r), faceIndices[k++] = p(c, r + 1), faceIndices[k++] = p(c + 1, r + 1);
    }
  }
  m.SetIndexed(std::move(positions), std::move(faceIndices));
  m.drawRecord.materialIndex = 0;
  return 1;
}
