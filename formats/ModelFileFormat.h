// The mesh model file ("%d.t3m"): the keywords, the formats the tool writes
// them with and the formats the engine reads them with. Both programs take
// the format from here and nowhere else.
//
// Line order as written: the file's own name, Pos, NumVertex, NumFace,
// VERTEX..., FACE..., NumTVertex, TVERTEX..., NumTFace, TFACE..., MatID, End.
// Reals are written with "%f" and read with scanf's "%f". Positions are in
// engine coordinates (y up). A TVERTEX line carries u, w, v in that order.
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

// The writer's formats, one line each.
inline constexpr char kWriteName[] = "%s\n";
inline constexpr char kWritePos[] = "Pos %f %f %f\n";
inline constexpr char kWriteNumVertex[] = "NumVertex %d\n";
inline constexpr char kWriteNumFace[] = "NumFace %d\n";
inline constexpr char kWriteVertex[] = "VERTEX %d %f %f %f\n";
inline constexpr char kWriteFace[] = "FACE %d %d %d %d\n";
inline constexpr char kWriteNumTVertex[] = "NumTVertex %d\n";
inline constexpr char kWriteTVertex[] = "TVERTEX %d %f %f %f\n";
inline constexpr char kWriteNumTFace[] = "NumTFace %d\n";
inline constexpr char kWriteTFace[] = "TFACE %d %d %d %d\n";
inline constexpr char kWriteMatId[] = "MatID %d\n";
inline constexpr char kWriteEnd[] = "End\n";
// Name of model file n.
inline constexpr char kFileName[] = "%d.t3m";

// The reader's formats (applied to the whole line, keyword included).
inline constexpr char kReadReals3[] = "%s %f %f %f";     // Pos
inline constexpr char kReadCount[] = "%s %d";            // NumVertex, NumFace, NumTVertex, NumTFace, MatID
inline constexpr char kReadIndexReals3[] = "%s %d %f %f %f";  // VERTEX, TVERTEX
inline constexpr char kReadIndexInts3[] = "%s %d %d %d %d";   // FACE, TFACE

}  // namespace tarn::formats::model
