// The biped bone table and the rules that turn an ASE node's name into a
// bone id (1 to 24). Shared by the physique and the motion data writers.
//
// Names are taken as the line holds them: with the usual quoted names of an
// export, the first word starts with the opening quotation mark and the last
// word of the name ends with the closing one, and the rules count on that
// (the key loses its last character, meant to be that quotation mark).
#pragma once

#include <string>
#include <string_view>

namespace tarn::tool {

inline constexpr int kOtherBone = 24;

// The id of a bone key, compared exactly; 24 for a key outside the table.
int LookupBoneId(std::string_view key);
// Empties a word longer than 11 characters.
void ClearLongWord(std::string& word);
// Removes the last character; an empty text stays empty.
void DropLastChar(std::string& text);

enum class NameRule { kNode, kPhysique };
// The bone key of a name's first three words. The node rule gives "Bip01"
// when the three (after ClearLongWord) join to fewer than 8 characters;
// otherwise, and always under the physique rule, the key is w2 w3 joined,
// less its last character.
std::string MakeBoneKey(std::string w1, std::string w2, std::string w3, NameRule rule);

// The node rule on a whole *NODE_NAME / *NODE_PARENT line (formats/AseKeywords.h).
int NodeLineBoneId(std::string_view line);
// The physique rule on a whole *PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE
// line. The vertex number is stored into *vertex only when
// the line holds one, so a line without it keeps the last one read.
int PhysiqueLineBoneId(std::string_view line, int* vertex);

}  // namespace tarn::tool
