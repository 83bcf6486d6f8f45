// SceneNode: a node of the world tree. It carries a local transform, the
// half-size of its view box and at most one DrawRecord (not owned), and owns
// its children. Children are drawn in the reverse order of attachment.
#pragma once

#include <memory>

#include <d3d.h>

#include "engine/scene/DrawRecord.h"
#include "engine/scene/MathKit.h"
#include "engine/scene/Matrix4.h"
#include "engine/scene/RenderSwitches.h"

class SceneNode {
 public:
  SceneNode();
  ~SceneNode();
  SceneNode(const SceneNode&) = delete;
  SceneNode& operator=(const SceneNode&) = delete;

  // Hangs a new child carrying `record` at the front of the child list and
  // returns it. Allocation failure ends the program (as any new does); no
  // caller could do better.
  SceneNode* AttachDrawable(DrawRecord* record);

  // Composes world transforms on the device, draws each record that passes
  // the view box test around `eye`, then draws the children and the
  // following siblings. The device's world matrix is restored afterwards.
  void DrawTree(IDirect3DDevice7* device, RenderSwitches* switches, Vector3 eye);

  // Non-zero when p lies outside the box of +-cullExtent in X and Z and
  // +-cullExtent/4 in Y around eye. Bounds are inclusive.
  int IsOutsideViewBox(Vector3 eye, Vector3 p) const;

  float cullExtent = 125.0f;
  DrawRecord* drawRecord = nullptr;
  std::unique_ptr<SceneNode> nextSibling;
  std::unique_ptr<SceneNode> firstChild;
  std::unique_ptr<MathKit> math;
  Matrix4 localMatrix;
};
