// Camera: the free-flying look-at camera of the walk-through. A position, a
// point looked at and an up vector give the view matrix; a vertical field of
// view, the aspect and the clip planes give the projection.
//
// Moves add one vector to both position and lookAt, turns rotate lookAt and
// up about position, so the viewing vector keeps its unit length. Nothing
// clamps or collides: any position is accepted.
#pragma once

#include <cstdint>
#include <memory>

#include <d3d.h>

#include "engine/scene/MathKit.h"
#include "engine/scene/Matrix4.h"
#include "engine/scene/Vector3.h"

inline constexpr float kFieldOfViewNormal = 0.7853982f;  // pi/4
inline constexpr float kFieldOfViewZoom = 0.1308997f;    // 7.5 degrees

class Camera {
 public:
  Camera();
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  int BuildViewMatrix();
  void BuildProjectionMatrix();
  void ApplyView(IDirect3DDevice7* device);
  void ApplyProjection(IDirect3DDevice7* device);

  void MoveForward(float distance);  // negative moves back
  void Strafe(float distance);       // positive to the right
  void Rise(float distance);         // positive upward
  std::int32_t Yaw(float angle);     // about world +Y, positive to the left
  std::int32_t Pitch(float angle);   // about the side axis, positive looks up
  std::int32_t Roll(float angle);    // about the viewing direction

  Vector3 position{0.0f, 1.0f, 0.0f};
  Vector3 lookAt{0.0f, 1.0f, 1.0f};
  Vector3 up{0.0f, 1.0f, 0.0f};
  Matrix4 view;
  float fieldOfView = kFieldOfViewNormal;
  // Height over width of a fixed 1024 x 768 frame, whatever the display.
  float aspect = 768.0f / 1024.0f * 1.0f;
  float nearPlane = 1.0f;
  float farPlane = 10000.0f;
  Matrix4 projection;
  std::unique_ptr<MathKit> math;

 private:
  std::int32_t Turn(Vector3 axis, float angle);
};
