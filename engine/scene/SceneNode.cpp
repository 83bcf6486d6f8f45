// The drawing walk of the world tree and its view-box culling.
#include "engine/scene/SceneNode.h"

static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX), "Matrix4 is handed to the device as a D3DMATRIX");

namespace {
D3DMATRIX* AsDevice(Matrix4& m) { return reinterpret_cast<D3DMATRIX*>(&m); }
}  // namespace

SceneNode::SceneNode() : math(std::make_unique<MathKit>()) { math->SetIdentity(localMatrix); }

SceneNode::~SceneNode() {
  // Unlink children one by one so that a long sibling list is not freed by
  // a recursion as deep as the list is long.
  while (firstChild) {
    std::unique_ptr<SceneNode> child = std::move(firstChild);
    firstChild = std::move(child->nextSibling);
  }
}

SceneNode* SceneNode::AttachDrawable(DrawRecord* record) {
  auto node = std::make_unique<SceneNode>();
  node->drawRecord = record;
  node->nextSibling = std::move(firstChild);
  firstChild = std::move(node);
  return firstChild.get();
}

void SceneNode::DrawTree(IDirect3DDevice7* device, RenderSwitches* switches, Vector3 eye) {
  // Siblings by a loop, children by recursion: the device sees the same
  // calls as a walk that recursed into both, without the stack depth.
  for (SceneNode* node = this; node != nullptr; node = node->nextSibling.get()) {
    Matrix4 saved;
    node->math->SetIdentity(saved);  // stays the identity if the device refuses
    device->GetTransform(D3DTRANSFORMSTATE_WORLD, AsDevice(saved));
    Matrix4 world = Multiply(node->localMatrix, saved);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, AsDevice(world));
    if (DrawRecord* record = node->drawRecord) {
      if (record->kind == kDrawCulled && node->IsOutsideViewBox(eye, record->referencePoint) == 0)
        switches->DrawMesh(device, record);
      if (record->kind == kDrawAlways) switches->DrawMesh(device, record);
    }
    if (node->firstChild) node->firstChild->DrawTree(device, switches, eye);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, AsDevice(saved));
  }
}

int SceneNode::IsOutsideViewBox(Vector3 eye, Vector3 p) const {
  const float r = cullExtent;
  if (eye.x + r < p.x) return 1;
  if (eye.x - r > p.x) return 1;
  if (eye.y + r / 4 < p.y) return 1;
  if (eye.y - r / 4 > p.y) return 1;
  if (eye.z + r < p.z) return 1;
  if (eye.z - r > p.z) return 1;
  return 0;
}
