// MathKit: the stateless builder of matrices that every scene node and the
// camera own an instance of.
//
// TransformPoint and InvertAffine return 0, or kMathInvalidArg (0x80070057,
// the platform's E_INVALIDARG) when they refuse their input; a refused call
// leaves its destination as it was.
//
// Degenerate input (a zero axis, target equal to eye, a zero determinant)
// is not guarded: it gives NaNs or infinities, never a crash. No caller in
// the engine produces it.
#pragma once

#include <cstdint>

#include "engine/scene/Matrix4.h"
#include "engine/scene/Vector3.h"

inline constexpr std::int32_t kMathInvalidArg = static_cast<std::int32_t>(0x80070057u);

class MathKit {
 public:
  void SetIdentity(Matrix4& m);
  // Rotation by angle (radians) about axis, which may have any non-zero
  // length. About +Y a positive angle turns +Z toward -X.
  void RotationAxis(Matrix4& out, Vector3 axis, float angle);
  // Left-handed view matrix. The up vector is used as the y axis unchanged
  // (not re-orthogonalized, not normalized); x = Cross(up, z) is not
  // normalized either. Returns 1.
  int LookAt(Matrix4& out, const Vector3& eye, const Vector3& target, const Vector3& up);
  // dst = (x', y', z') / w'. Refuses |w'| < 0.00001. dst may be src.
  std::int32_t TransformPoint(Vector3& dst, const Vector3& src, const Matrix4& m);
  // Inverse of an affine matrix (last column 0, 0, 0, 1 within 0.001).
  // dst must not be src.
  std::int32_t InvertAffine(Matrix4& dst, const Matrix4& src);
};
