// CharacterPose: the character's skeleton and motion as glTF wants them,
// from the matrices of the physique data (.mpd) and the samples of the
// motion data (.mca), both of which keep the ASE export's numbers as they
// stand (no axes exchanged).
//
// What the ASE numbers mean (checked against real exports: at the first key
// the samples give back the node transforms; and against another reader of
// the same exports):
//   - "*TM_ROW0".."*TM_ROW3" are a node's transform in the scene (world
//     space, not the parent's): rows 0-2 the images of the x, y and z axes,
//     row 3 the origin, for a point written as a row vector (p' = p * M).
//   - "*CONTROL_POS_SAMPLE tick x y z": the node's origin at that tick in
//     its parent's space (in the scene's for a node without parent),
//     absolute, not an offset from the previous sample.
//   - "*CONTROL_ROT_SAMPLE tick ax ay az angle": an axis and an angle in
//     radians, in the parent's space. The first sample of a track is the
//     node's whole rotation; each later sample is the change since the
//     sample before it, applied after it (in the parent's space): the
//     rotation at key k is d_k * ... * d_1 * r_0 for column vectors. The
//     angle turns clockwise about the axis as seen from its tip: the
//     rotation of a right-handed frame is by -angle.
//   - A node without samples of a kind keeps that part of its transform.
// Scale is not sampled by the converter; a joint keeps the scale of its
// node transform.
//
// Axes: the engine's ASE rules exchange y and z (left-handed, y up), and
// the glTF files negate z on top of that (right-handed, y up). Together a
// point (x, y, z) of the ASE becomes (x, z, -y): a rotation by -90 degrees
// about x, so rotations keep their angles and only their axes turn.
//
// Our choices:
//   - A node transform whose rows do not make a matrix with an inverse
//     (all zero, two equal rows) is taken as the identity at its origin, so
//     the skin's inverse matrices stay finite; the caller warns.
//   - A mirrored node transform (determinant below 0) becomes a negative
//     scale on all three axes with a proper rotation.
//   - Samples with equal keys: each rotation still counts (they are
//     changes), the last value of a key stands.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tarn::exports {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>;  // x, y, z, w (glTF's order)

// An affine transform for column vectors: p' = R p + t, with R row-major.
struct Affine {
  double r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 t = {0, 0, 0};
};

struct Trs {
  Vec3 translation = {0, 0, 0};
  Quat rotation = {0, 0, 0, 1};
  Vec3 scale = {1, 1, 1};
};

// The ASE's axes to glTF's: (x, y, z) -> (x, z, -y).
Vec3 AseToGltf(const Vec3& p);

// A node transform from its four ASE rows, in glTF's axes. False (and the
// identity at the origin row) when the rows have no inverse.
bool NodeTransform(const float rows[4][3], Affine& out);

Affine Multiply(const Affine& a, const Affine& b);  // a after b: a(b(p))
bool Invert(const Affine& a, Affine& out);
Affine FromTrs(const Trs& trs);
// Translation, rotation (unit, w >= 0) and scale of a transform without
// shear; a mirrored one gets scale < 0 on all axes.
Trs Decompose(const Affine& a);
// The 16 numbers of a glTF matrix (column-major).
std::array<float, 16> ColumnMajor(const Affine& a);

Quat Multiply(const Quat& a, const Quat& b);  // a after b
// One ASE rotation sample's axis and angle as a glTF rotation.
Quat AseRotation(float ax, float ay, float az, float angle);

// One joint's track of samples, in the order the file gives them.
struct KeyedPosition {
  int key;
  Vec3 value;  // ASE axes
};
struct KeyedRotation {
  int key;
  float axis[3];
  float angle;
};

// A glTF channel's keys (frames from the first key) and values: positions
// in glTF's axes, rotations accumulated (one quaternion per key, each on
// the side of the one before it, so interpolation takes the short way).
struct PositionTrack {
  std::vector<int> keys;
  std::vector<Vec3> values;
};
struct RotationTrack {
  std::vector<int> keys;
  std::vector<Quat> values;
};
PositionTrack MakePositionTrack(const std::vector<KeyedPosition>& samples);
RotationTrack MakeRotationTrack(const std::vector<KeyedRotation>& samples);

}  // namespace tarn::exports
