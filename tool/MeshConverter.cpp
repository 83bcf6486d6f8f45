#include "tool/MeshConverter.h"

#include <cstring>

#include "formats/AseDepth.h"
#include "formats/AseFace.h"
#include "formats/AseKeywords.h"
#include "formats/LineScan.h"
#include "formats/ModelFileFormat.h"
#include "platform/files/AnsiFile.h"
#include "tool/ConverterSteps.h"
#include "tool/TextSink.h"
#include "tool/ToolMessages.h"

namespace tarn::tool {
namespace {

using formats::IsBlank;
using formats::ScanLine;
namespace model = formats::model;
namespace ase = formats::ase;

// The numbers each keyword's last line left.
struct LastValues {
  float pos[3] = {};
  int numVertex = 0, numFaces = 0, numTVertex = 0, numTFaces = 0, material = 0;
  int vertex = 0;
  float vertexXyz[3] = {};
  int face = 0, corner[3] = {};
  int tvertex = 0;
  float uvw[3] = {};
  int tface = 0, tcorner[3] = {};
};

// One line of an object, whose keyword is `key`.
void WriteObjectLine(ase::Key key, const formats::LineReader& in, LastValues& v, TextSink& out) {
  const std::string_view rest = in.AfterKeyword();
  switch (key) {
    case ase::Key::kMeshVertex:
      formats::ScanNumbers(rest, &v.vertex, 1, v.vertexXyz, 3);
      out.Put(model::kVertex).SpInt(v.vertex).SpFixed(v.vertexXyz[0], 6).SpFixed(v.vertexXyz[2], 6)
          .SpFixed(v.vertexXyz[1], 6).Put('\n');
      break;
    case ase::Key::kMeshFace:
      formats::ScanAseFace(in.Line(), v.face, v.corner[0], v.corner[1], v.corner[2]);
      out.Put(model::kFace).SpInt(v.face);
      for (int c : v.corner) out.SpInt(c & 0xFFFF);  // the model file's corners are 16-bit
      out.Put('\n');
      break;
    case ase::Key::kMeshTVert:
      formats::ScanNumbers(rest, &v.tvertex, 1, v.uvw, 3);
      out.Put(model::kTVertex).SpInt(v.tvertex).SpFixed(v.uvw[0], 6).SpFixed(v.uvw[2], 6).SpFixed(v.uvw[1], 6)
          .Put('\n');
      break;
    case ase::Key::kMeshTFace:
      formats::ScanIndexInts3(rest, v.tface, v.tcorner[0], v.tcorner[1], v.tcorner[2]);
      out.Put(model::kTFace).SpInt(v.tface).SpInt(v.tcorner[0]).SpInt(v.tcorner[1]).SpInt(v.tcorner[2]).Put('\n');
      break;
    case ase::Key::kTmRow3:
      ScanLine(rest, ase::ScanOf(key), &v.pos[0], &v.pos[1], &v.pos[2]);
      out.Put(model::kPos).SpFixed(v.pos[0], 6).SpFixed(v.pos[2], 6).SpFixed(v.pos[1], 6).Put('\n');
      break;
    case ase::Key::kMeshNumVertex:
      ScanLine(rest, ase::ScanOf(key), &v.numVertex);
      out.Put(model::kNumVertex).SpInt(v.numVertex).Put('\n');
      break;
    case ase::Key::kMeshNumFaces:
      ScanLine(rest, ase::ScanOf(key), &v.numFaces);
      out.Put(model::kNumFace).SpInt(v.numFaces).Put('\n');
      break;
    case ase::Key::kMeshNumTVertex:
      ScanLine(rest, ase::ScanOf(key), &v.numTVertex);
      out.Put(model::kNumTVertex).SpInt(v.numTVertex).Put('\n');
      break;
    case ase::Key::kMeshNumTVFaces:
      ScanLine(rest, ase::ScanOf(key), &v.numTFaces);
      out.Put(model::kNumTFace).SpInt(v.numTFaces).Put('\n');
      break;
    case ase::Key::kMaterialRef:
      ScanLine(rest, ase::ScanOf(key), &v.material);
      out.Put(model::kMatId).SpInt(v.material).Put('\n');
      break;
    default:
      break;
  }
}

// The current folder as the system names it (code page 949), where the
// model files were written.
std::string CurrentFolder() {
  char folder[4096];
  return _getcwd(folder, sizeof folder) != nullptr ? std::string(folder) : std::string(".");
}

}  // namespace

MeshRun ConvertMeshStream(formats::LineReader& in, const ProgressHook& progress, const files::FileIdentity& inputFile) {
  MeshRun run;
  LastValues values;
  int objectNumber = 0;
  ProgressClock clock(in, progress);
  while (in.NextKeywordLine()) {
    clock.Tick();
    if (ase::Find(in.Keyword()) != ase::Key::kGeomObject) continue;
    char name[32];
    std::snprintf(name, sizeof name, model::kFileName, objectNumber++);
    if (files::SameFile(files::IdentifyOutput(name), inputFile)) {
      run.ok = false;
      run.outputIsInput = true;
      run.failedFile = name;
      return run;
    }
    const WriteOutcome outcome = WriteAndCommit(name, [&](TextSink& out) {
      out.Put(name).Put('\n');
      int depth = 1;  // the "*GEOMOBJECT ... {" line opened the object's block
      while (depth != 0 && in.NextKeywordLine()) {
        clock.Tick();
        depth += formats::AseDepthChange(in);
        const ase::Key key = ase::FindFor<ase::kMeshWriter>(in.Keyword());
        if (key == ase::Key::kGeomObject) break;
        WriteObjectLine(key, in, values, out);
      }
      out.Put(model::kEndLine);
    });
    if (!outcome.Committed()) {
      run.ok = false;
      run.failedFile = name;
      run.reason = outcome.reason;
      return run;
    }
    ++run.filesWritten;
  }
  clock.Finish();  // all of it: the progress line ends at 100%
  return run;
}

MeshRun MeshConverter::Run(const char* aseName) {
  if (aseName == nullptr || *aseName == '\0') {
    MeshRun run;
    run.ok = false;
    ShowNoAseFile(owner_);
    return run;
  }
  const files::FileIdentity inputFile = files::IdentifyInput(aseName);
  return RunOpened(files::AnsiFopen(aseName, "rt"), inputFile, aseName);
}

MeshRun MeshConverter::RunOpened(std::FILE* input, const files::FileIdentity& inputFile, const char* aseName) {
  MeshRun run;
  if (input == nullptr) {
    run.ok = false;
    run.failedFile = aseName_.empty() ? aseName : aseName_;
    run.reason = files::LastErrorText();
    ShowCannotOpen(owner_, run.failedFile, run.reason);
    return run;
  }
  {
    formats::LineReader reader(input);
    run = ConvertMeshStream(reader, progress_, inputFile);
  }
  if (run.ok && std::ferror(input)) {  // a read error ends the input early: say so
    std::string reason = files::LastErrorText();
    std::fclose(input);
    run.ok = false;
    ShowCannotOpen(owner_, aseName_.empty() ? aseName : aseName_, reason);
    return run;
  }
  std::fclose(input);
  if (run.outputIsInput)
    ShowOutputIsInput(owner_, run.failedFile);
  else if (!run.ok)
    ShowCannotWrite(owner_, run.failedFile, run.reason);
  else
    ShowMeshCount(owner_, run.filesWritten, CurrentFolder());
  return run;
}

int MeshConverter::ConvertMeshes(const char* aseName) {
  Run(aseName);
  return 0;
}

}  // namespace tarn::tool
