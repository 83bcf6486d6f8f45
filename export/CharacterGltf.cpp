// The gathered character as the writer's scene description (gltf/Gltf.h).
#include <string>

#include "export/CharacterExport.h"
#include "gltf/GlbFile.h"
#include "gltf/Gltf.h"
#include "gltf/Png.h"
#include "platform/codepage/Cp949.h"
#include "platform/files/AnsiFile.h"

namespace tarn::exports {

namespace {

std::string Utf8(const std::string& cp949) { return codepage::Cp949ToUtf8(cp949); }

std::string BareName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SetTrs(const Trs& trs, gltf::Node& node) {
  node.hasTranslation = node.hasRotation = node.hasScale = true;
  for (int i = 0; i < 3; ++i) {
    node.translation[i] = static_cast<float>(trs.translation[i]);
    node.scale[i] = static_cast<float>(trs.scale[i]);
  }
  for (int i = 0; i < 4; ++i) node.rotation[i] = static_cast<float>(trs.rotation[i]);
}

// Nodes: the joints in the physique's order, then the armature that holds
// the roots among them (a skin's joints need one common root), then the
// mesh's node, at the scene's root as a skinned mesh's node should be.
bool Describe(const CharacterScene& c, gltf::Scene& scene, std::string& error) {
  const std::int64_t joints = static_cast<std::int64_t>(c.joints.size());
  const std::int64_t armature = joints;
  scene.asset.generator = "rigwright-batch";
  scene.asset.sceneName = Utf8(c.name);
  std::string sources;
  const char* kinds[4] = {"ase", "physique", "motion", "picture"};
  for (int i = 0; i < 4; ++i)
    sources += std::string(i ? "," : "") + "\"" + kinds[i] + "\":" + gltf::JsonString(Utf8(BareName(c.inputs[i])));
  scene.asset.extras = "{\"axes\":" +
                       gltf::JsonString("the ASE's (x, y, z) is (x, z, -y) here: the engine exchanges y and z, "
                                        "this file negates z and reverses each triangle's winding") +
                       ",\"framesPerSecond\":30,\"sources\":{" + sources + "}}";

  for (const CharacterJoint& j : c.joints) {
    gltf::Node node;
    node.name = Utf8(j.name);
    SetTrs(j.rest, node);
    scene.nodes.push_back(std::move(node));
  }
  gltf::Node root;
  root.name = Utf8(c.name);
  scene.nodes.push_back(root);
  for (std::int64_t i = 0; i < joints; ++i) {
    const int parent = c.joints[static_cast<std::size_t>(i)].parent;
    scene.nodes[parent >= 0 ? static_cast<std::size_t>(parent) : static_cast<std::size_t>(armature)].children.push_back(i);
  }

  if (c.hasMesh && !c.mesh.indices.empty()) {
    gltf::Skin skin;
    skin.name = Utf8(c.name);
    skin.skeleton = armature;
    for (std::int64_t i = 0; i < joints; ++i) {
      skin.joints.push_back(i);
      const auto& m = c.joints[static_cast<std::size_t>(i)].inverseBind;
      skin.inverseBindMatrices.insert(skin.inverseBindMatrices.end(), m.begin(), m.end());
    }
    scene.skins.push_back(std::move(skin));

    gltf::Mesh mesh;
    mesh.name = Utf8(c.meshName);
    mesh.data.positions = c.mesh.positions;
    if (c.mesh.hasTexCoords) mesh.data.texcoords = c.mesh.texCoords;
    mesh.data.joints = c.mesh.joints;
    mesh.data.weights.reserve(c.mesh.joints.size());
    for (std::size_t v = 0; v < c.mesh.joints.size() / 4; ++v) mesh.data.weights.insert(mesh.data.weights.end(), {1, 0, 0, 0});
    mesh.data.indices = c.mesh.indices;
    mesh.material = 0;
    scene.meshes.push_back(std::move(mesh));

    gltf::Material material;
    material.name = Utf8(c.meshName);
    if (c.picture.present) {
      gltf::Image image;
      image.name = Utf8(c.picture.file);
      image.extras = "{\"file\":" + gltf::JsonString(Utf8(c.picture.file)) + "}";
      if (!gltf::EncodePng(c.picture.rgba.data(), c.picture.width, c.picture.height, image.png)) {
        error = c.picture.file + ": the picture could not be encoded as PNG";
        return false;
      }
      scene.images.push_back(std::move(image));
      scene.samplers.push_back(gltf::Sampler{});
      scene.textures.push_back(gltf::Texture{0, 0});
      material.baseColorTexture = 0;
      if (c.picture.alpha == CharacterPicture::Alpha::kMask) {
        material.alphaMode = gltf::AlphaMode::kMask;
        material.alphaCutoff = 8.0f / 255.0f;  // the engine's alpha reference
      } else if (c.picture.alpha == CharacterPicture::Alpha::kBlend) {
        material.alphaMode = gltf::AlphaMode::kBlend;
      }
    }
    scene.materials.push_back(std::move(material));

    gltf::Node body;
    body.name = Utf8(c.meshName);
    body.mesh = 0;
    body.skin = 0;
    scene.nodes.push_back(std::move(body));
  }

  gltf::Animation animation;
  animation.name = Utf8(c.name);
  for (std::int64_t i = 0; i < joints; ++i) {
    const CharacterJoint& j = c.joints[static_cast<std::size_t>(i)];
    if (!j.positions.keys.empty()) {
      gltf::AnimationSampler s;
      for (std::size_t k = 0; k < j.positions.keys.size(); ++k) {
        s.times.push_back(static_cast<float>(j.positions.keys[k] / kFramesPerSecond));
        for (double v : j.positions.values[k]) s.values.push_back(static_cast<float>(v));
      }
      animation.channels.push_back({static_cast<std::int64_t>(animation.samplers.size()), i, gltf::Path::kTranslation});
      animation.samplers.push_back(std::move(s));
    }
    if (!j.rotations.keys.empty()) {
      gltf::AnimationSampler s;
      for (std::size_t k = 0; k < j.rotations.keys.size(); ++k) {
        s.times.push_back(static_cast<float>(j.rotations.keys[k] / kFramesPerSecond));
        for (double v : j.rotations.values[k]) s.values.push_back(static_cast<float>(v));
      }
      animation.channels.push_back({static_cast<std::int64_t>(animation.samplers.size()), i, gltf::Path::kRotation});
      animation.samplers.push_back(std::move(s));
    }
  }
  if (!animation.channels.empty()) scene.animations.push_back(std::move(animation));
  return true;
}

}  // namespace

CharacterGltfRun ExportCharacterGltf(const std::string& chrPath, const std::string& outPath) {
  CharacterGltfRun run;
  CharacterScene character;
  if (!GatherCharacter(chrPath, character, run.problems)) {
    run.refused = true;
    return run;
  }
  run.warnings = character.warnings;
  gltf::Scene scene;
  if (!Describe(character, scene, run.error)) return run;
  gltf::Counts counts;
  if (!gltf::WriteGlbFile(scene, files::AnsiToHostPath(outPath.c_str()), "one of the character's files", counts,
                          run.error))
    return run;
  run.ok = true;
  run.joints = static_cast<int>(character.joints.size());
  run.vertices = static_cast<long long>(character.mesh.positions.size() / 3);
  run.triangles = counts.triangles;
  run.keys = scene.animations.empty() ? 0 : character.lastKey + 1;
  run.seconds = scene.animations.empty() ? 0 : character.lastKey / kFramesPerSecond;
  run.bytes = static_cast<long long>(counts.bytes);
  return run;
}

}  // namespace tarn::exports
