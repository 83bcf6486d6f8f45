// ScanAseFace: one "*MESH_FACE" line of an ASE export, read as the pattern
// "%s %d %s %s %d %s %d %s %d" reads it (the keyword, the face number, the
// colon word, then each label word and its corner; the words are dropped
// without being compared), with one addition both programs need: a label
// glued to its number ("A:10000", which the exporter writes once a corner
// has five digits, and "12:A:1") is read as the label and the number, where
// the plain pattern would stop and leave every later corner unread.
// Fields the line does not supply keep the values they had.
#pragma once

#include <string_view>

namespace tarn::formats {

void ScanAseFace(std::string_view line, int& face, int& a, int& b, int& c);

}  // namespace tarn::formats
