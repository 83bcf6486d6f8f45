// The layering check: every file of a library or program may include only
// headers of its own target or of the targets it depends on (transitively),
// as its CMakeLists says; and no folders may include each other in a circle.
//
// The records come from the configure step (<build>/layers.txt), one line
// each: "target NAME FOLDER", "source NAME FILE", "depends NAME TARGET",
// "headers NAME FOLDER" (a folder of headers included by bare name, such as
// <d3d.h>). Paths are relative to the repository root.
//
// A file belongs to the targets that list it as a source; a header to the
// target whose header folder holds it, else to the target that builds the
// .cpp of the same name beside it, else to every target of its folder.
// Includes that name no file of the tree (the standard library, system
// headers) are not checked.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace tarn::layout {

struct LayerReport {
  std::vector<std::string> problems;
  int filesChecked = 0;
  int targets = 0;
};

LayerReport CheckLayers(const std::filesystem::path& root, std::istream& records);

}  // namespace tarn::layout
