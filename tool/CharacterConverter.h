// CharacterConverter: the record through which Save > "Animation Data",
// "Physique Data" and "Character Mesh" run their writers, and the writers
// themselves. Each streams the ASE file into its output in one pass.
//
//   kind 1  WriteMotionData    motion data (.mca): "PHYID", "P", "R" lines, "End"
//   kind 2  WritePhysiqueData  physique data (.mpd): frames, node matrices, rigid
//                              vertex assignments
//   kind 3  WriteCharacterMesh character mesh (.mcm): written empty
//
// Our choices:
//   - a conversion without an ASE file, an output that is the ASE file
//     itself however it is spelled (letter case, "./", "..", a link or a
//     second hard link: the same device and inode), and an input or output
//     that cannot be opened or written are reported in an "Edit Message"
//     box with the file's name and the reason; nothing is written over the
//     output then, and no success message is shown;
//   - the input must be a regular file (a FIFO or device is refused at
//     once, platform/files/AnsiFile.h);
//   - the output is written through files::OutputFile: a temporary file
//     beside it, renamed into place when the writer has finished (the
//     success message follows the rename); a link keeps its link, a FIFO or
//     device is written directly;
//   - a line whose numbers are missing or do not parse writes the values the
//     last line of its keyword left (each "*TM_ROWn" keeps its own; 0 before
//     the first such line); a matrix row before any node name is written
//     with the bone id 0.
#pragma once

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>

#include <windows.h>

#include "formats/LineReader.h"
#include "tool/Progress.h"
#include "tool/TextSink.h"

namespace tarn::tool {

enum ConversionKind { kMotionData = 1, kPhysiqueData = 2, kCharacterMesh = 3 };

// The writers' passes over an input, without files or messages.
void StreamPhysiqueData(formats::LineReader& input, TextSink& output, const ProgressHook& progress = {});
void StreamMotionData(formats::LineReader& input, TextSink& output, const ProgressHook& progress = {});
void StreamCharacterMesh(formats::LineReader& input, const ProgressHook& progress = {});

class CharacterConverter {
 public:
  // The ASE file (Load > "ASE File"): bare name for messages, path to open.
  void SetInput(const std::string& bareName, const std::string& path) {
    inputName_ = bareName;
    inputPath_ = path;
  }
  const std::string& InputName() const { return inputName_; }
  const std::string& InputPath() const { return inputPath_; }
  const std::string& OutputName() const { return outputName_; }
  void SetOwnerWindow(HWND owner) { owner_ = owner; }
  HWND OwnerWindow() const { return owner_; }
  void SetProgress(ProgressHook hook) { progress_ = std::move(hook); }

  // Writes the file of that name (in the current folder) by kind; returns 0.
  int RunConversion(const char* outputName, int kind);
  // True when the last RunConversion wrote its file.
  bool LastSucceeded() const { return lastSucceeded_; }

  int WriteMotionData();     // 1
  int WritePhysiqueData();   // 0
  int WriteCharacterMesh();  // 0

 private:
  void Write(const std::function<void(TextSink&)>& fill);  // writes the output; reports the outcome
  void WriteStreamed(void (*stream)(formats::LineReader&, TextSink&, const ProgressHook&));

  std::FILE* input_ = nullptr;
  std::string inputName_, inputPath_, outputName_;
  HWND owner_ = nullptr;
  ProgressHook progress_;
  bool lastSucceeded_ = false;
};

// True when writing `output` would overwrite one of `inputs` (the same file
// however either name is spelled).
bool OutputIsAnInput(const std::string& output, std::initializer_list<std::string> inputs);

// The character file (.chr): the four names with "%s\n%s\n%s\n%s", written
// through files::OutputFile. False, with the reason, when it cannot be
// written; false with *outputIsInput set when fileName is one of the four
// files it names (nothing is written then).
bool WriteCharacterFile(const std::string& fileName, const std::string& ase, const std::string& physique,
                        const std::string& motion, const std::string& bitmap, std::string* reason,
                        bool* outputIsInput = nullptr);

}  // namespace tarn::tool
