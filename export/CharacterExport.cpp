#include "export/CharacterExport.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "engine/picture/Image.h"
#include "export/CharacterAse.h"
#include "formats/LineReader.h"
#include "platform/files/AnsiFile.h"

namespace tarn::exports {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Two kinds of finding describe what the converter always writes and this
// export handles: ids shared by several nodes (the ASE's names tell them
// apart) and fewer RIGIDTYPE lines than the block's Number (blended
// vertices, which follow the mesh's node). Every other finding means the
// files cannot be trusted together.
bool IsHandledFinding(const tool::Finding& f) {
  return f.kind == tool::FindingKind::kSharedId || f.kind == tool::FindingKind::kBlendedVertices;
}

tool::Finding Problem(tool::FindingKind kind, const std::string& file, long long line, const std::string& what) {
  return {kind, file, line, what};
}

std::string Stem(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Which joint each motion block animates, and that they agree.
bool MatchMotion(const tool::Character& ch, const AseCharacter& ase, std::vector<int>& blockJoint,
                 tool::Findings& problems) {
  const std::string& mca = ch.paths[tool::CharacterFile::kMotion];
  blockJoint.assign(ch.motion.blocks.size(), -1);
  if (static_cast<int>(ch.motion.blocks.size()) != ase.motionBlocks) {
    problems.push_back(Problem(tool::FindingKind::kOtherExport, mca, 1,
                               "the motion data lists " + std::to_string(ch.motion.blocks.size()) +
                                   " nodes where the ASE export makes " + std::to_string(ase.motionBlocks) +
                                   ": it was not converted from this export"));
    return false;
  }
  for (std::size_t j = 0; j < ase.nodes.size(); ++j) {
    int b = ase.nodes[j].motionBlock;
    if (b < 0) continue;
    const tool::MotionBlock& block = ch.motion.blocks[static_cast<std::size_t>(b)];
    if (block.id != ch.physique.nodes[j].id) {
      problems.push_back(Problem(tool::FindingKind::kOtherExport, mca, block.line,
                                 "PHYID " + std::to_string(block.id) + " where the physique data's node " +
                                     std::to_string(j + 1) + " has the id " + std::to_string(ch.physique.nodes[j].id)));
      return false;
    }
    blockJoint[static_cast<std::size_t>(b)] = static_cast<int>(j);
  }
  return true;
}

void MakeSkeleton(const tool::Character& ch, const AseCharacter& ase, CharacterScene& out) {
  const auto& nodes = ch.physique.nodes;
  std::vector<Affine> world(nodes.size()), rest(nodes.size());
  int byName = 0, unresolved = 0, singular = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    CharacterJoint joint;
    joint.name = ase.nodes[i].name;
    // "NODE_PR 1 1" is both a root and a node whose parent shares its id
    // (a long German name and the root both give 1): the ASE's parent line
    // tells which.
    if (!nodes[i].IsRoot() || ase.nodes[i].hasParent) {
      std::vector<int> candidates;
      for (std::size_t j = 0; j < i; ++j)
        if (nodes[j].id == nodes[i].parentId) candidates.push_back(static_cast<int>(j));
      if (candidates.size() == 1) {
        joint.parent = candidates[0];
      } else if (candidates.size() > 1) {
        // The nearest earlier node of that name: the exporter writes a
        // parent before its children.
        for (auto c = candidates.rbegin(); c != candidates.rend() && joint.parent < 0; ++c)
          if (ase.nodes[static_cast<std::size_t>(*c)].name == ase.nodes[i].parent) joint.parent = *c;
        if (joint.parent >= 0)
          ++byName;
        else
          ++unresolved;
      }
    }
    if (!NodeTransform(nodes[i].rows, world[i])) ++singular;
    // Squared up before parents and children are compared, so that the
    // rows' rounding does not pass into the children's rotations twice.
    world[i] = FromTrs(Decompose(world[i]));
    Affine local = world[i];
    if (joint.parent >= 0) {
      Affine inverse;
      if (Invert(world[static_cast<std::size_t>(joint.parent)], inverse)) local = Multiply(inverse, world[i]);
    }
    joint.rest = Decompose(local);
    // The rest pose as the joints' own numbers make it, so the skin's
    // inverse matrices undo exactly what a player computes.
    Affine own = FromTrs(joint.rest);
    rest[i] = joint.parent >= 0 ? Multiply(rest[static_cast<std::size_t>(joint.parent)], own) : own;
    Affine inverse;
    if (!Invert(rest[i], inverse)) inverse = Affine{};
    joint.inverseBind = ColumnMajor(inverse);
    out.joints.push_back(std::move(joint));
  }
  if (byName > 0)
    out.warnings.push_back(std::to_string(byName) +
                           " nodes' parents share their id with other nodes; the ASE's *NODE_PARENT names chose them");
  if (unresolved > 0)
    out.warnings.push_back(std::to_string(unresolved) +
                           " nodes' parents could not be told apart by the ASE's names; they stand at the root");
  if (singular > 0)
    out.warnings.push_back(std::to_string(singular) + " node matrices have no inverse; taken as unturned");
}

void MakeMotion(const tool::Character& ch, const std::vector<int>& blockJoint, CharacterScene& out) {
  for (std::size_t b = 0; b < ch.motion.blocks.size(); ++b) {
    const tool::MotionBlock& block = ch.motion.blocks[b];
    CharacterJoint& joint = out.joints[static_cast<std::size_t>(blockJoint[b])];
    std::vector<KeyedPosition> p;
    p.reserve(block.positions.size());
    for (const tool::PositionSample& s : block.positions)
      p.push_back({s.key, {s.value[0], s.value[1], s.value[2]}});
    std::vector<KeyedRotation> r;
    r.reserve(block.rotations.size());
    for (const tool::RotationSample& s : block.rotations)
      r.push_back({s.key, {s.value[0], s.value[1], s.value[2]}, s.value[3]});
    joint.positions = MakePositionTrack(p);
    joint.rotations = MakeRotationTrack(r);
    joint.animated = !joint.positions.keys.empty() || !joint.rotations.keys.empty();
    if (!joint.positions.keys.empty()) out.lastKey = std::max(out.lastKey, joint.positions.keys.back());
    if (!joint.rotations.keys.empty()) out.lastKey = std::max(out.lastKey, joint.rotations.keys.back());
  }
}

// Each vertex's joint: the RIGIDTYPE line's id where one joint has it, the
// ASE physique line's name where several do.
bool MakeSkin(const tool::Character& ch, const AseCharacter& ase, CharacterScene& out,
              tool::Findings& problems) {
  const tool::AssignmentBlock& block = ch.physique.blocks.front();
  const AseSkin& skin = ase.skin;
  const std::string& mpd = ch.paths[tool::CharacterFile::kPhysique];
  const std::size_t vertexCount = skin.positions.size();
  const int own = block.node;
  std::vector<int> vertexJoint(vertexCount, -1);
  std::unordered_map<int, int> idCount, idJoint;
  for (std::size_t j = 0; j < ch.physique.nodes.size(); ++j) {
    ++idCount[ch.physique.nodes[j].id];
    idJoint.emplace(ch.physique.nodes[j].id, static_cast<int>(j));
  }
  std::unordered_map<std::string, int> nameJoint;
  for (std::size_t j = 0; j < out.joints.size(); ++j) nameJoint.emplace(out.joints[j].name, static_cast<int>(j));
  if (skin.rigid.size() != block.vertices.size()) {
    problems.push_back(Problem(tool::FindingKind::kOtherExport, mpd, block.line,
                               std::to_string(block.vertices.size()) + " RIGIDTYPE lines where the ASE's object has " +
                                   std::to_string(skin.rigid.size()) + ": it was not converted from this export"));
    return false;
  }
  int unknownNames = 0;
  for (std::size_t k = 0; k < block.vertices.size(); ++k) {
    const tool::VertexAssignment& a = block.vertices[k];
    if (a.vertex < 0 || static_cast<std::size_t>(a.vertex) >= vertexCount) {
      problems.push_back(Problem(tool::FindingKind::kVertexRange, mpd, a.line,
                                 "vertex " + std::to_string(a.vertex) + " is beyond the mesh's " +
                                     std::to_string(vertexCount) + " vertices"));
      return false;
    }
    if (skin.rigid[k].vertex != a.vertex) {
      problems.push_back(Problem(tool::FindingKind::kOtherExport, mpd, a.line,
                                 "vertex " + std::to_string(a.vertex) + " where the ASE's physique line names vertex " +
                                     std::to_string(skin.rigid[k].vertex)));
      return false;
    }
    int joint = -1;
    auto count = idCount.find(a.bone);
    if (count != idCount.end() && count->second == 1) {
      joint = idJoint[a.bone];
    } else {
      auto named = nameJoint.find(skin.names[static_cast<std::size_t>(skin.rigid[k].name)]);
      if (named != nameJoint.end() && ch.physique.nodes[static_cast<std::size_t>(named->second)].id == a.bone)
        joint = named->second;
      else
        ++unknownNames;
    }
    vertexJoint[static_cast<std::size_t>(a.vertex)] = joint;
  }
  int unassigned = 0;
  for (int& j : vertexJoint)
    if (j < 0) {
      j = own >= 0 ? own : 0;
      ++unassigned;
    }
  if (unknownNames > 0)
    out.warnings.push_back(std::to_string(unknownNames) +
                           " vertices name a bone that no node of that id has; they follow the mesh's node");
  if (unassigned - unknownNames > 0)
    out.warnings.push_back(std::to_string(unassigned - unknownNames) +
                           " vertices have no rigid assignment (blended ones are not converted); they follow the "
                           "mesh's node");

  // The triangles as the engine reads them, then mirrored as the world's
  // export mirrors them.
  CharacterMesh& mesh = out.mesh;
  mesh.hasTexCoords = !skin.texVertices.empty();
  std::unordered_map<std::uint64_t, std::uint32_t> corners;
  for (std::size_t f = 0; f < skin.faces.size(); ++f) {
    const AseFace& face = skin.faces[f];
    if (!face.present) continue;
    const AseFace* tex = f < skin.texFaces.size() && skin.texFaces[f].present ? &skin.texFaces[f] : nullptr;
    // The engine's order is A, C, B; glTF's winding is the engine's
    // reversed: A, B, C.
    const int engine[3][2] = {{face.a, tex ? tex->a : -1}, {face.c, tex ? tex->c : -1}, {face.b, tex ? tex->b : -1}};
    const int* gltf[3] = {engine[0], engine[2], engine[1]};
    std::uint32_t index[3];
    for (int c = 0; c < 3; ++c) {
      const int p = gltf[c][0] >= 0 && static_cast<std::size_t>(gltf[c][0]) < vertexCount ? gltf[c][0] : -1;
      const int t = gltf[c][1] >= 0 && static_cast<std::size_t>(gltf[c][1]) < skin.texVertices.size() ? gltf[c][1] : -1;
      const std::uint64_t key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p + 1)) << 32) |
                                static_cast<std::uint32_t>(t + 1);
      auto [it, added] = corners.emplace(key, static_cast<std::uint32_t>(mesh.positions.size() / 3));
      if (added) {
        // Engine: (x, z, y); glTF: z negated.
        const std::array<float, 3> a = p >= 0 ? skin.positions[static_cast<std::size_t>(p)] : std::array<float, 3>{};
        const float engineXyz[3] = {a[0], a[2], a[1]};
        mesh.positions.insert(mesh.positions.end(), {engineXyz[0], engineXyz[1], -engineXyz[2]});
        const std::array<float, 2> uv = t >= 0 ? skin.texVertices[static_cast<std::size_t>(t)]
                                               : std::array<float, 2>{0.0f, 1.0f};
        mesh.texCoords.insert(mesh.texCoords.end(), {uv[0], 1.0f - uv[1]});
        const int joint = p >= 0 ? vertexJoint[static_cast<std::size_t>(p)] : (own >= 0 ? own : 0);
        mesh.joints.insert(mesh.joints.end(), {static_cast<std::uint16_t>(joint), 0, 0, 0});
      }
      index[c] = it->second;
    }
    mesh.indices.insert(mesh.indices.end(), {index[0], index[1], index[2]});
  }
  return true;
}

void LoadPicture(const std::string& path, const std::string& name, CharacterScene& out) {
  Image image;
  out.picture.file = name;
  if (path.empty() || image.LoadPicture(path.c_str()) == 0 || image.pixels.empty()) {
    out.warnings.push_back((name.empty() ? std::string("the character file names no picture")
                                         : name + " cannot be read as a picture") +
                           "; the mesh gets a plain material");
    return;
  }
  CharacterPicture& p = out.picture;
  p.present = true;
  p.width = image.width;
  p.height = image.height;
  p.rgba.resize(image.pixels.size() * 4);
  std::uint8_t* o = p.rgba.data();
  for (std::uint32_t px : image.pixels) {
    o[0] = static_cast<std::uint8_t>(px >> 16);
    o[1] = static_cast<std::uint8_t>(px >> 8);
    o[2] = static_cast<std::uint8_t>(px);
    o[3] = static_cast<std::uint8_t>(px >> 24);
    o += 4;
  }
  p.alpha = AlphaModeOf(p.rgba);
}

}  // namespace

CharacterPicture::Alpha AlphaModeOf(const std::vector<std::uint8_t>& rgba) {
  bool transparent = false, between = false;
  for (std::size_t i = 3; i < rgba.size(); i += 4) {
    const unsigned a4 = rgba[i] >> 4;  // the texel's 4 bits
    if (a4 == 15) continue;
    // Widened back to 8 bits (a4 * 17), below the reference 8 only at 0.
    if (a4 == 0)
      transparent = true;
    else
      between = true;
  }
  if (between) return CharacterPicture::Alpha::kBlend;
  return transparent ? CharacterPicture::Alpha::kMask : CharacterPicture::Alpha::kOpaque;
}

bool GatherCharacter(const std::string& chrPath, CharacterScene& out, tool::Findings& problems) {
  tool::Character ch;
  tool::Findings findings;
  const bool read = tool::LoadCharacter(chrPath, ch, findings);
  bool refused = !read;
  for (const tool::Finding& f : findings)
    if (!IsHandledFinding(f)) refused = true;
  if (refused) {
    problems.insert(problems.end(), findings.begin(), findings.end());
    if (problems.empty()) problems.push_back(Problem(tool::FindingKind::kUnreadable, chrPath, 1, "the character cannot be read"));
    return false;
  }
  out.name = Stem(chrPath);
  for (int i = 0; i < 4; ++i) out.inputs[i] = ch.paths[i];

  const std::string& asePath = ch.paths[tool::CharacterFile::kAse];
  long long size = 0;
  std::unique_ptr<std::FILE, FileCloser> stream(files::AnsiFopen(asePath.c_str(), "rt", &size));
  if (!stream) {
    problems.push_back(Problem(tool::FindingKind::kUnreadable, asePath, 1, "cannot be opened: " + files::LastErrorText()));
    return false;
  }
  AseCharacter ase;
  const int skinNode = ch.physique.blocks.empty() ? -1 : ch.physique.blocks.front().node;
  formats::LineReader reader(stream.get());
  ReadAseCharacter(reader, size > 0 ? static_cast<std::size_t>(size) : 0, skinNode, ase);
  stream.reset();

  if (ase.nodes.size() != ch.physique.nodes.size()) {
    problems.push_back(Problem(tool::FindingKind::kOtherExport, ch.paths[tool::CharacterFile::kPhysique], 1,
                               std::to_string(ch.physique.nodes.size()) + " NODE_PR groups where the ASE export has " +
                                   std::to_string(ase.nodes.size()) +
                                   " node transforms: it was not converted from this export"));
    return false;
  }
  // A vertex names its joint in 16 bits.
  if (ch.physique.nodes.size() > 65535) {
    problems.push_back(Problem(tool::FindingKind::kTooLarge, ch.paths[tool::CharacterFile::kPhysique], ch.physique.nodes[65535].line,
                               "more than 65535 NODE_PR groups: a skin's joints are named in 16 bits"));
    return false;
  }
  std::vector<int> blockJoint;
  if (!MatchMotion(ch, ase, blockJoint, problems)) return false;
  MakeSkeleton(ch, ase, out);
  MakeMotion(ch, blockJoint, out);
  if (skinNode >= 0 && ase.skin.present) {
    out.hasMesh = true;
    out.meshJoint = skinNode;
    out.meshName = ase.skin.name;
    if (!MakeSkin(ch, ase, out, problems)) return false;
    LoadPicture(ch.paths[tool::CharacterFile::kBitmap], ch.file.names[tool::CharacterFile::kBitmap], out);
  } else {
    out.warnings.push_back(ch.file.names[tool::CharacterFile::kAse] +
                           " has no object with a physique block: the file holds the skeleton and its motion alone");
  }
  if (ch.physique.blocks.size() > 1)
    out.warnings.push_back(std::to_string(ch.physique.blocks.size() - 1) +
                           " further objects with a physique block are left out; the first one is the mesh");
  return true;
}

}  // namespace tarn::exports
