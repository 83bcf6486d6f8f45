// Camera moves, turns and the two matrices it hands to the device.
#include "engine/scene/Camera.h"

#include <cmath>

Camera::Camera() : math(std::make_unique<MathKit>()) {
  BuildViewMatrix();
  BuildProjectionMatrix();
}

int Camera::BuildViewMatrix() { return math->LookAt(view, position, lookAt, up); }

void Camera::BuildProjectionMatrix() {
  const float half = fieldOfView / 2;
  const float cot = std::cos(half) / std::sin(half);
  for (float& e : projection.m) e = 0.0f;
  projection(0, 0) = cot * aspect;
  projection(1, 1) = cot * 1.0f;
  const float q = farPlane / (farPlane - nearPlane);
  projection(2, 2) = q;
  projection(2, 3) = 1.0f;
  projection(3, 2) = -q * nearPlane;
}

void Camera::ApplyView(IDirect3DDevice7* device) {
  device->SetTransform(D3DTRANSFORMSTATE_VIEW, reinterpret_cast<D3DMATRIX*>(&view));
}

void Camera::ApplyProjection(IDirect3DDevice7* device) {
  device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, reinterpret_cast<D3DMATRIX*>(&projection));
}

void Camera::MoveForward(float distance) {
  const Vector3 v = Normalize(lookAt - position) * distance;
  position += v;
  lookAt += v;
}

void Camera::Strafe(float distance) {
  const Vector3 v = Cross(up, Normalize(lookAt - position)) * distance;
  position += v;
  lookAt += v;
}

void Camera::Rise(float distance) {
  const Vector3 v = Normalize(up) * distance;
  position += v;
  lookAt += v;
}

std::int32_t Camera::Turn(Vector3 axis, float angle) {
  Matrix4 r;
  math->RotationAxis(r, axis, angle);
  const Vector3 p = position;
  lookAt -= p;
  math->TransformPoint(lookAt, lookAt, r);
  lookAt += p;
  return math->TransformPoint(up, up, r);
}

std::int32_t Camera::Yaw(float angle) { return Turn(Vector3(0.0f, 1.0f, 0.0f), angle); }

std::int32_t Camera::Pitch(float angle) { return Turn(Cross(up, Normalize(lookAt - position)), angle); }

std::int32_t Camera::Roll(float angle) { return Turn(Normalize(lookAt - position), angle); }
