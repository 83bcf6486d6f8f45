// MeshConverter: Save > "Mesh". Streams an ASE export into one model file
// ("%d.t3m", formats/ModelFileFormat.h) per "*GEOMOBJECT" block, in the
// current folder, numbered from 0 on every conversion.
//
// Inside an object, lines are followed by the block depth (formats/AseDepth.h);
// the object ends when its braces close, when the input ends, or at a
// "*GEOMOBJECT" line met before they close (that line is used up, and the
// object it opens is not converted). Every model file ends with "End".
//
// Our choices:
//   - a line whose numbers are missing or do not parse writes the values the
//     last line of its keyword left (0 before the first); each keyword keeps
//     its own, and they start at 0 on every conversion;
//   - a face corner glued to its label ("A:10000", as the exporter writes
//     corners of five digits) is read as the label and the number;
//   - every model file is written through files::OutputFile (a temporary
//     file renamed into place when its object is complete; links, FIFOs and
//     devices as that header says);
//   - a model file name that reaches the input (the export itself is called
//     "0.t3m", or a link of that name points at it) ends the conversion
//     with an "Edit Message" box before anything is written over it;
//   - ConvertMeshes reports in an "Edit Message" box: how many model files
//     it wrote, or which file could not be opened or written and why.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

#include "formats/LineReader.h"
#include "platform/files/AnsiFile.h"
#include "tool/Progress.h"

namespace tarn::tool {

struct MeshRun {
  int filesWritten = 0;
  bool ok = true;
  bool outputIsInput = false;  // failedFile is the input itself: refused
  std::string failedFile;      // code page 949, as named
  std::string reason;
};

// The conversion itself: model files go to the current folder. A model file
// that is the input itself (an export named "0.t3m") is refused before it is
// opened, and the conversion stops there.
MeshRun ConvertMeshStream(formats::LineReader& input, const ProgressHook& progress = {},
                          const files::FileIdentity& inputFile = {});

class MeshConverter {
 public:
  // The ASE file chosen with Load > "ASE File": its bare name, kept for the
  // messages, and the path it is opened by (the bare name resolved against the
  // folder it was chosen in, so that later dialogs moving the current folder
  // do not lose it).
  void SetAseFile(const std::string& bareName, const std::string& path) {
    aseName_ = bareName;
    asePath_ = path;
  }
  bool HasAseFile() const { return !asePath_.empty(); }
  const std::string& AseName() const { return aseName_; }
  const std::string& AsePath() const { return asePath_; }
  void SetOwnerWindow(HWND owner) { owner_ = owner; }
  void SetProgress(ProgressHook hook) { progress_ = std::move(hook); }

  // Converts the ASE file at aseName (a path); returns 0 like the command's
  // other steps, reporting in message boxes.
  int ConvertMeshes(const char* aseName);
  // As ConvertMeshes, with the result for callers that want it.
  MeshRun Run(const char* aseName);
  // As Run, with the input opened by the caller (null when that failed, with
  // errno saying why) and identified as it was opened: a caller that then
  // enters the output folder never has to name the input from there, which a
  // working folder deeper than any path buffer would not allow. Closes it.
  MeshRun RunOpened(std::FILE* input, const files::FileIdentity& inputFile, const char* aseName);

 private:
  std::string aseName_, asePath_;
  HWND owner_ = nullptr;
  ProgressHook progress_;
};

}  // namespace tarn::tool
