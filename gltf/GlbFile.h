// A GLB written to a file through the files seam's whole-or-nothing output
// (platform/files/OutputFile.h: a temporary renamed into place for a regular
// file, devices and pipes written directly).
//
// An existing file is replaced only when it is empty or a binary glTF file
// already, so that a mistyped name never lands on someone's data (a world's
// own files, a model the converter wrote); devices and pipes (/dev/stdout)
// are written. The check looks at the very file the output will write: the
// name as the host reads it, through its links.
#pragma once

#include <string>
#include <string_view>

#include "gltf/Gltf.h"

namespace tarn::gltf {

// `path` is the host's name (UTF-8 on Linux), taken as it stands. False with
// a message that names the file in `error`; nothing is left behind then.
// `mayBe` is what a protected file there is likely to be, as the caller
// knows its inputs ("one of the world's files"): the refusal says it.
bool WriteGlbFile(const SceneSource& scene, const std::string& path, std::string_view mayBe, Counts& counts,
                  std::string& error);

// False with the reason in `error` when `path` names an existing file that
// the rule above protects.
bool MayReplace(const std::string& path, std::string_view mayBe, std::string& error);

}  // namespace tarn::gltf
