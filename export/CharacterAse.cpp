#include "export/CharacterAse.h"

#include <algorithm>

#include "formats/AseFace.h"
#include "formats/AseKeywords.h"
#include "formats/LineScan.h"

namespace tarn::exports {

namespace {

using formats::ase::Key;

// Every counted item needs a line of its own of at least this many bytes.
constexpr std::size_t kMinCountedLine = 8;

int BoundCount(std::string_view rest, std::size_t inputBytes) {
  int n = 0;
  formats::FieldCursor f(rest);
  f.Int(n);
  long long fits = static_cast<long long>(inputBytes / kMinCountedLine);
  return n < 0 ? 0 : static_cast<int>(std::min<long long>(n, fits));
}

template <class T>
T& Slot(std::vector<T>& v, int i) {
  if (static_cast<std::size_t>(i) >= v.size()) v.resize(static_cast<std::size_t>(i) + 1);
  return v[static_cast<std::size_t>(i)];
}

}  // namespace

std::string QuotedName(std::string_view rest) {
  std::size_t b = 0, e = rest.size();
  while (b < e && formats::IsBlank(rest[b])) ++b;
  while (e > b && formats::IsBlank(rest[e - 1])) --e;
  if (e - b >= 2 && rest[b] == '"' && rest[e - 1] == '"') ++b, --e;
  return std::string(rest.substr(b, e - b));
}

void ReadAseCharacter(formats::LineReader& in, std::size_t inputBytes, int skinNode, AseCharacter& out) {
  std::string name, parent;
  bool hasParent = false;
  bool inAnimation = false;  // the motion writer's section: to the next *GEOMOBJECT
  int depth = 0;
  bool inObject = false;     // inside a top-level block
  bool objectIsSkin = false;
  bool inSkinMesh = false, skinMeshDone = false;
  int meshDepth = 0;
  int counts[4] = {0, 0, 0, 0};  // vertices, faces, texture vertices, texture faces
  int materialListDepth = -1, material = -1, materialCount = 0;
  int objectMaterialRef = -1;
  while (in.NextKeywordLine()) {
    const Key key = formats::ase::Find(in.Keyword());
    // Structure by the last word: "*MATERIAL 0 {" opens a block here,
    // where the engine's rule (second word) does not count it.
    const std::string_view line = in.Line();
    std::size_t end = line.size();
    while (end > 0 && formats::IsBlank(line[end - 1])) --end;
    const bool opens = end > 0 && line[end - 1] == '{' && (end == 1 || formats::IsBlank(line[end - 2]));
    const int change = (opens ? 1 : 0) - (in.Keyword() == "}" ? 1 : 0);
    const std::string_view rest = in.AfterKeyword();
    if (key == Key::kGeomObject) inAnimation = false;
    if (depth == 0 && change > 0) {
      // A top-level block: an object of any kind, or the material list.
      inObject = true;
      objectIsSkin = false;
      objectMaterialRef = -1;
      materialListDepth = key == Key::kMaterialList ? 0 : -1;
    }
    switch (key) {
      case Key::kNodeName:
        name = QuotedName(rest);
        break;
      case Key::kNodeParent:
        parent = QuotedName(rest);
        hasParent = true;
        break;
      case Key::kTmRow0: {
        AseNode node;
        node.line = in.LineNumber();
        node.name = name;
        node.parent = hasParent ? parent : std::string();
        node.hasParent = hasParent;
        if (!inAnimation) node.motionBlock = out.motionBlocks++;
        if (static_cast<int>(out.nodes.size()) == skinNode && inObject) objectIsSkin = true;
        out.nodes.push_back(std::move(node));
        hasParent = false;
        break;
      }
      case Key::kTmAnimation:
        inAnimation = true;
        break;
      case Key::kMesh:
        if (objectIsSkin && !skinMeshDone && change > 0) {
          inSkinMesh = true;
          meshDepth = 0;
          out.skin.present = true;
          out.skin.line = in.LineNumber();
          out.skin.name = out.nodes.empty() ? std::string() : out.nodes.back().name;
        }
        break;
      case Key::kMaterialRef:
        if (inObject) {
          formats::FieldCursor f(rest);
          f.Int(objectMaterialRef);
          if (objectIsSkin) out.skin.materialRef = objectMaterialRef;
        }
        break;
      case Key::kMaterialCount:
        if (materialListDepth >= 0) {
          // Entries grow as their lines come; the count only bounds them.
          materialCount = BoundCount(rest, inputBytes);
          if (out.materials.size() > static_cast<std::size_t>(materialCount)) out.materials.resize(materialCount);
          material = -1;
        }
        break;
      case Key::kMaterial:
        if (materialListDepth >= 0 && depth == 1) {
          material = -1;
          formats::FieldCursor f(rest);
          if (f.Int(material) && (material < 0 || material >= materialCount)) material = -1;
          if (material >= 0) Slot(out.materials, material);
        }
        break;
      case Key::kBitmap:
        if (materialListDepth >= 0 && material >= 0) out.materials[material].bitmap = QuotedName(rest);
        break;
      case Key::kPhysiqueRigidType:
        if (objectIsSkin) {
          formats::FieldCursor f(rest);
          AseSkin::Rigid r{in.LineNumber(), -1, 0};
          f.Int(r.vertex);
          // The name is what follows the vertex number.
          std::size_t i = 0;
          while (i < rest.size() && formats::IsBlank(rest[i])) ++i;
          while (i < rest.size() && !formats::IsBlank(rest[i])) ++i;
          std::string bone = QuotedName(rest.substr(i));
          auto found = std::find(out.skin.names.begin(), out.skin.names.end(), bone);
          r.name = static_cast<int>(found - out.skin.names.begin());
          if (found == out.skin.names.end()) out.skin.names.push_back(std::move(bone));
          out.skin.rigid.push_back(r);
        }
        break;
      default:
        break;
    }
    if (inSkinMesh) {
      AseSkin& s = out.skin;
      switch (key) {
        case Key::kMeshNumVertex: counts[0] = BoundCount(rest, inputBytes); break;
        case Key::kMeshNumFaces: counts[1] = BoundCount(rest, inputBytes); break;
        case Key::kMeshNumTVertex: counts[2] = BoundCount(rest, inputBytes); break;
        case Key::kMeshNumTVFaces: counts[3] = BoundCount(rest, inputBytes); break;
        case Key::kMeshVertex: {
          int i = -1;
          float p[3] = {0, 0, 0};
          formats::ScanIndexReals3(rest, i, p[0], p[1], p[2]);
          if (i >= 0 && i < counts[0]) Slot(s.positions, i) = {p[0], p[1], p[2]};
          break;
        }
        case Key::kMeshFace: {
          int i = -1, a = 0, b = 0, c = 0;
          formats::ScanAseFace(in.Line(), i, a, b, c);
          if (i >= 0 && i < counts[1]) Slot(s.faces, i) = {a, b, c, true};
          break;
        }
        case Key::kMeshTVert: {
          int i = -1;
          float u = 0, v = 0, w = 0;
          formats::ScanIndexReals3(rest, i, u, v, w);
          if (i >= 0 && i < counts[2]) Slot(s.texVertices, i) = {u, v};
          break;
        }
        case Key::kMeshTFace: {
          int i = -1, a = 0, b = 0, c = 0;
          formats::ScanIndexInts3(rest, i, a, b, c);
          if (i >= 0 && i < counts[3]) Slot(s.texFaces, i) = {a, b, c, true};
          break;
        }
        default:
          break;
      }
      meshDepth += change;
      if (meshDepth <= 0) {
        inSkinMesh = false;
        skinMeshDone = true;
      }
    }
    depth = std::max(0, depth + change);
    if (inObject && depth == 0) {
      inObject = false;
      materialListDepth = -1;
      objectIsSkin = false;
    }
  }
}

}  // namespace tarn::exports
