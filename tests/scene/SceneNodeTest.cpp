#include "engine/scene/SceneNode.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/ddraw/NullSurface.h"
#include "tests/scene/RecordingDevice.h"

namespace {

DrawRecord Record(int kind, Vector3 at, int material = 0) {
  DrawRecord r;
  r.kind = kind;
  r.referencePoint = at;
  r.materialIndex = material;
  return r;
}

// Which records (by vertex pointer) reached DrawPrimitive, in order.
std::vector<const void*> Drawn(const RecordingDevice& device) {
  std::vector<const void*> out;
  for (const auto& c : device.Named("DrawPrimitive")) out.push_back(c.pointer);
  return out;
}

}  // namespace

TEST(SceneNode, ChildrenDrawInReverseOrderOfAttachment) {
  MeshVertex va[3] = {}, vb[3] = {}, vc[3] = {};
  DrawRecord a = Record(kDrawCulled, Vector3(0, 0, 0)), b = a, c = a;
  a.vertices = va;
  b.vertices = vb;
  c.vertices = vc;
  SceneNode root;
  root.AttachDrawable(&a);
  root.AttachDrawable(&b);
  root.AttachDrawable(&c);
  RecordingDevice device;
  RenderSwitches switches;
  root.DrawTree(&device, &switches, Vector3(0, 0, 0));
  EXPECT_EQ(Drawn(device), (std::vector<const void*>{vc, vb, va}));
}

TEST(SceneNode, WorldMatrixIsComposedAndRestored) {
  RecordingDevice device;
  D3DMATRIX start{};
  start._11 = start._22 = start._33 = start._44 = 1.0f;
  start._41 = 7.0f;
  device.SetTransform(D3DTRANSFORMSTATE_WORLD, &start);
  device.calls.clear();

  SceneNode root;
  root.localMatrix(3, 1) = 2.0f;  // a node of its own translation
  SceneNode* child = root.AttachDrawable(nullptr);  // no record: still walks
  child->localMatrix(3, 2) = 5.0f;
  DrawRecord r = Record(kDrawAlways, Vector3(0, 0, 0));
  child->AttachDrawable(&r);
  RenderSwitches switches;
  root.DrawTree(&device, &switches, Vector3(0, 0, 0));

  // The grandchild draws under root x child x inherited translation.
  const auto sets = device.Named("SetTransform");
  ASSERT_EQ(sets.size(), 6u);  // three nodes, set and restore each
  EXPECT_EQ(sets[2].matrix._41, 7.0f);
  EXPECT_EQ(sets[2].matrix._42, 2.0f);
  EXPECT_EQ(sets[2].matrix._43, 5.0f);
  EXPECT_EQ(device.Named("GetTransform").size(), 3u);
  EXPECT_EQ(std::memcmp(&device.Transform(D3DTRANSFORMSTATE_WORLD), &start, sizeof start), 0);
  EXPECT_EQ(device.Named("DrawPrimitive").size(), 1u);
}

TEST(SceneNode, ViewBoxBoundsAreInclusive) {
  SceneNode node;
  const Vector3 eye(0, 0, 0);
  EXPECT_EQ(node.IsOutsideViewBox(eye, Vector3(125, 0, 0)), 0);
  EXPECT_NE(node.IsOutsideViewBox(eye, Vector3(125.01f, 0, 0)), 0);
  EXPECT_EQ(node.IsOutsideViewBox(eye, Vector3(0, 31.25f, 0)), 0);
  EXPECT_NE(node.IsOutsideViewBox(eye, Vector3(0, 31.3f, 0)), 0);
  EXPECT_EQ(node.IsOutsideViewBox(eye, Vector3(0, 0, -125)), 0);
  EXPECT_NE(node.IsOutsideViewBox(eye, Vector3(0, -31.3f, 0)), 0);
  EXPECT_EQ(node.IsOutsideViewBox(Vector3(1000, 0, 1000), Vector3(1100, 0, 900)), 0);
}

TEST(SceneNode, KindsDecideWhatIsDrawn) {
  MeshVertex v1[3] = {}, v2[3] = {}, v0[3] = {}, v3[3] = {}, far[3] = {};
  DrawRecord culledNear = Record(kDrawCulled, Vector3(10, 0, 10));
  DrawRecord culledFar = Record(kDrawCulled, Vector3(500, 0, 0));
  DrawRecord always = Record(kDrawAlways, Vector3(9000, 9000, 9000));
  DrawRecord kind0 = Record(0, Vector3(0, 0, 0));
  DrawRecord kind3 = Record(3, Vector3(0, 0, 0));
  culledNear.vertices = v1;
  culledFar.vertices = far;
  always.vertices = v2;
  kind0.vertices = v0;
  kind3.vertices = v3;
  SceneNode root;
  for (DrawRecord* r : {&culledNear, &culledFar, &always, &kind0, &kind3}) root.AttachDrawable(r);
  RecordingDevice device;
  RenderSwitches switches;
  root.DrawTree(&device, &switches, Vector3(0, 0, 0));
  EXPECT_EQ(Drawn(device), (std::vector<const void*>{v2, v1}));
}

TEST(RenderSwitches, WireframeDrawsTheSameVerticesAsLines) {
  MeshVertex v[9] = {};
  DrawRecord r = Record(kDrawAlways, Vector3(0, 0, 0));
  r.vertices = v;
  r.vertexCount = 9;
  RecordingDevice device;
  RenderSwitches switches;
  switches.DrawMesh(&device, &r);
  switches.wireframe = 1;
  switches.DrawMesh(&device, &r);
  auto draws = device.Named("DrawPrimitive");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].what, static_cast<DWORD>(D3DPT_TRIANGLELIST));
  EXPECT_EQ(draws[1].what, static_cast<DWORD>(D3DPT_LINELIST));
  EXPECT_EQ(draws[1].count, 9u);
  EXPECT_EQ(draws[1].format, 0x112u);
  EXPECT_EQ(draws[1].pointer, v);
}

namespace {
// A texture stand-in that counts its references.
struct CountedSurface : tarn::ddraw::NullSurface {
  int refs = 1;
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
};
}  // namespace

TEST(RenderSwitches, MaterialOutsideTheTableBindsNoTexture) {
  MeshVertex v[3] = {};
  DrawRecord r = Record(kDrawAlways, Vector3(0, 0, 0), 0);
  r.vertices = v;
  r.vertexCount = 3;
  RecordingDevice device;
  RenderSwitches switches;
  switches.DrawMesh(&device, &r);  // no table at all

  CountedSurface t0, t1;
  switches.ResetTextureTable(2);
  switches.textures[0] = &t0;
  switches.textures[1] = &t1;
  r.materialIndex = 1;
  switches.DrawMesh(&device, &r);
  r.materialIndex = 2;
  switches.DrawMesh(&device, &r);
  r.materialIndex = -1;
  switches.DrawMesh(&device, &r);
  auto binds = device.Named("SetTexture");
  ASSERT_EQ(binds.size(), 4u);
  EXPECT_EQ(binds[0].pointer, nullptr);
  EXPECT_EQ(binds[1].pointer, &t1);
  EXPECT_EQ(binds[2].pointer, nullptr);
  EXPECT_EQ(binds[3].pointer, nullptr);
  EXPECT_EQ(device.Named("DrawPrimitive").size(), 4u);

  // A new table releases the old one's surfaces.
  switches.ResetTextureTable(1);
  EXPECT_EQ(t0.refs, 0);
  EXPECT_EQ(t1.refs, 0);
  EXPECT_EQ(switches.textureCount, 1);
  EXPECT_EQ(switches.textures[0], nullptr);
}

TEST(SceneNode, LongSiblingListsDrawAndFreeWithoutDeepRecursion) {
  auto root = std::make_unique<SceneNode>();
  DrawRecord r = Record(kDrawCulled, Vector3(0, 0, 0));
  for (int i = 0; i < 200000; ++i) root->AttachDrawable(&r);
  RecordingDevice device;
  RenderSwitches switches;
  root->DrawTree(&device, &switches, Vector3(0, 0, 0));
  EXPECT_EQ(device.Named("DrawPrimitive").size(), 200000u);
  root.reset();
}
