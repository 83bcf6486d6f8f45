// Matrix4: sixteen 32-bit floats row by row, element (r, c) at 4r + c; the
// layout of the device's D3DMATRIX, so it is handed over without conversion.
// Row vectors: a point is the row (x, y, z, 1) times the matrix, translation
// lies in row 3, and in a x b the transform a acts first.
#pragma once

struct Matrix4 {
  float m[16];

  Matrix4() = default;

  float& operator()(int r, int c) { return m[4 * r + c]; }
  float operator()(int r, int c) const { return m[4 * r + c]; }
};

// a x b. The product goes through a temporary, so the result may be stored
// over either operand.
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
