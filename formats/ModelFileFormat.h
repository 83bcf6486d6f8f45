// The mesh model file ("%d.t3m"): its keywords and file name, which both the
// tool's writer (tool/MeshConverter.cpp) and the engine's reader
// (engine/world/MeshObject.cpp) take from here.
//
// Line order as written: the file's own name, Pos, NumVertex, NumFace,
// VERTEX..., FACE..., NumTVertex, TVERTEX..., NumTFace, TFACE..., MatID, End.
// Reals are written with "%f" and read with scanf's "%f". Positions are in
// engine coordinates (y up). A TVERTEX line carries u, w, v in that order.
// The tool prints "%f" and "%d" through its own formatter (tool/TextSink.h),
// byte for byte what printf gives; the engine scans the count and "Pos" lines
// with the formats below and the index lines with the converters' number
// scanner (formats/LineScan.h, FieldCursor).
#pragma once

namespace tarn::formats::model {

inline constexpr char kPos[] = "Pos";
inline constexpr char kNumVertex[] = "NumVertex";
inline constexpr char kNumFace[] = "NumFace";
inline constexpr char kVertex[] = "VERTEX";
inline constexpr char kFace[] = "FACE";
inline constexpr char kNumTVertex[] = "NumTVertex";
inline constexpr char kTVertex[] = "TVERTEX";
inline constexpr char kNumTFace[] = "NumTFace";
inline constexpr char kTFace[] = "TFACE";
inline constexpr char kMatId[] = "MatID";
inline constexpr char kEnd[] = "End";

inline constexpr char kEndLine[] = "End\n";
// Name of model file n.
inline constexpr char kFileName[] = "%d.t3m";

// The reader's formats (applied to the whole line, keyword included).
inline constexpr char kReadReals3[] = "%s %f %f %f";     // Pos
inline constexpr char kReadCount[] = "%s %d";            // NumVertex, NumFace, NumTVertex, NumTFace, MatID

}  // namespace tarn::formats::model
