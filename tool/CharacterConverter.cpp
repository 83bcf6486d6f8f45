#include "tool/CharacterConverter.h"

#include <cstdint>

#include "formats/AseKeywords.h"
#include "formats/LineScan.h"
#include "platform/files/AnsiFile.h"
#include "tool/BoneTable.h"
#include "tool/ConverterSteps.h"
#include "tool/ToolMessages.h"

namespace tarn::tool {
namespace {

using formats::ScanLine;
namespace ase = formats::ase;
constexpr int kTicksPerFrame = 160;

// Differences of file-given ints wrap as the 32-bit program's did, instead
// of overflowing.
int Wrap(std::int64_t v) { return static_cast<int>(static_cast<std::uint32_t>(v)); }

}  // namespace

void StreamPhysiqueData(formats::LineReader& in, TextSink& out, const ProgressHook& progress) {
  ProgressClock clock(in, progress);
  int firstFrame = 0, lastFrame = 0, bone = 0, parent = 0, count = 0, vertex = 0;
  float rows[4][3] = {};
  static const char* const kRowNames[] = {"TM_ROW0", "TM_ROW1", "TM_ROW2", "TM_ROW3"};
  while (in.NextKeywordLine()) {
    clock.Tick();
    const ase::Key key = ase::FindFor<ase::kPhysiqueWriter>(in.Keyword());
    switch (key) {
      case ase::Key::kTmRow0:
      case ase::Key::kTmRow1:
      case ase::Key::kTmRow2:
      case ase::Key::kTmRow3: {
        const int row = static_cast<int>(key) - static_cast<int>(ase::Key::kTmRow0);
        if (row == 0) out.Put("NODE_PR").SpInt(bone).SpInt(parent != 0 ? parent : bone).Put('\n');
        ScanLine(in.AfterKeyword(), ase::ScanOf(key), &rows[row][0], &rows[row][1], &rows[row][2]);
        out.Put(kRowNames[row]).SpInt(bone).SpFixed(rows[row][0], 4).SpFixed(rows[row][1], 4)
            .SpFixed(rows[row][2], 4).Put('\n');
        if (row == 0) parent = 0;
        break;
      }
      case ase::Key::kPhysiqueRigidType:
        bone = PhysiqueLineBoneId(in.Line(), &vertex);
        out.Put("RIGIDTYPE").SpInt(vertex).SpInt(bone).Put('\n');
        break;
      case ase::Key::kNodeName:
        bone = NodeLineBoneId(in.Line());
        break;
      case ase::Key::kNodeParent:
        parent = NodeLineBoneId(in.Line());
        break;
      case ase::Key::kSceneFirstFrame:
        ScanLine(in.AfterKeyword(), ase::ScanOf(key), &firstFrame);
        out.Put("FirstKeyNumber").SpInt(firstFrame).Put('\n');
        break;
      case ase::Key::kSceneLastFrame:
        ScanLine(in.AfterKeyword(), ase::ScanOf(key), &lastFrame);
        out.Put("KeyNumber").SpInt(Wrap(std::int64_t{lastFrame} - firstFrame - 1)).Put('\n');
        break;
      case ase::Key::kPhysiqueNumVertexAssignment:
        ScanLine(in.AfterKeyword(), ase::ScanOf(key), &count);
        out.Put("Number").SpInt(count).Put('\n');
        break;
      default:
        break;
    }
  }
  clock.Finish();
}

void StreamMotionData(formats::LineReader& in, TextSink& out, const ProgressHook& progress) {
  ProgressClock clock(in, progress);
  int firstFrame = 0, bone = 0;
  int posTick = 0, rotTick = 0;
  Fixed4Text pos[3], rot[4];
  auto key = [&](int tick) { return Wrap(std::int64_t{tick / kTicksPerFrame} - firstFrame); };
  while (in.NextKeywordLine()) {
    clock.Tick();
    switch (ase::FindFor<ase::kMotionWriter>(in.Keyword())) {
      case ase::Key::kTmAnimation:
        // The section runs to the next "*GEOMOBJECT" (used up) or the end.
        while (in.NextKeywordLine()) {
          clock.Tick();
          const ase::Key sample = ase::FindFor<ase::kMotionWriter>(in.Keyword());
          if (sample == ase::Key::kControlPosSample) {
            ScanIntAndFixed4(in.AfterKeyword(), &posTick, pos, 3);
            out.Put('P').SpInt(bone).SpInt(key(posTick)).SpFixed4(pos[0]).SpFixed4(pos[1]).SpFixed4(pos[2]).Put('\n');
          } else if (sample == ase::Key::kControlRotSample) {
            ScanIntAndFixed4(in.AfterKeyword(), &rotTick, rot, 4);
            out.Put('R').SpInt(bone).SpInt(key(rotTick)).SpFixed4(rot[0]).SpFixed4(rot[1]).SpFixed4(rot[2])
                .SpFixed4(rot[3]).Put('\n');
          } else if (sample == ase::Key::kGeomObject) {
            break;
          }
        }
        break;
      case ase::Key::kNodeName:
        bone = NodeLineBoneId(in.Line());
        break;
      case ase::Key::kTmRow0:
        out.Put("PHYID").SpInt(bone).Put('\n');
        break;
      case ase::Key::kSceneFirstFrame:
        ScanLine(in.AfterKeyword(), ase::ScanOf(ase::Key::kSceneFirstFrame), &firstFrame);
        break;
      default:
        break;
    }
  }
  out.Put("End");
  clock.Finish();
}

void StreamCharacterMesh(formats::LineReader& in, const ProgressHook& progress) {
  ProgressClock clock(in, progress);
  while (in.Next()) clock.Tick();
  clock.Finish();
}

int CharacterConverter::RunConversion(const char* outputName, int kind) {
  lastSucceeded_ = false;
  outputName_ = outputName != nullptr ? outputName : "";
  if (kind < kMotionData || kind > kCharacterMesh) return 0;
  if (inputPath_.empty()) {
    ShowNoAseFile(owner_);
    return 0;
  }
  if (OutputIsAnInput(outputName_, {inputPath_})) {
    ShowOutputIsInput(owner_, outputName_);
    return 0;
  }
  input_ = files::AnsiFopen(inputPath_.c_str(), "rt");
  if (input_ == nullptr) {
    ShowCannotOpen(owner_, inputName_, files::LastErrorText());
    return 0;
  }
  switch (kind) {
    case kMotionData:
      WriteMotionData();
      break;
    case kPhysiqueData:
      WritePhysiqueData();
      break;
    default:
      WriteCharacterMesh();
      break;
  }
  std::fclose(input_);
  input_ = nullptr;
  return 0;
}

// The input stays open for RunConversion to close.
void CharacterConverter::Write(const std::function<void(TextSink&)>& fill) {
  const WriteOutcome outcome = WriteAndCommit(outputName_, fill, input_);
  switch (outcome.step) {
    case WriteOutcome::kCommitted:
      lastSucceeded_ = true;
      ShowConverted(owner_, inputName_, outputName_);
      break;
    case WriteOutcome::kNotOpened:
      ShowCannotOpen(owner_, outputName_, outcome.reason);
      break;
    case WriteOutcome::kInputFailed:
      ShowCannotOpen(owner_, inputName_, outcome.reason);
      break;
    case WriteOutcome::kNotWritten:
    case WriteOutcome::kNotCommitted:
      ShowCannotWrite(owner_, outputName_, outcome.reason);
      break;
  }
}

// The motion and physique writers differ only in what they stream.
void CharacterConverter::WriteStreamed(void (*stream)(formats::LineReader&, TextSink&, const ProgressHook&)) {
  Write([&](TextSink& out) {
    formats::LineReader reader(input_);
    stream(reader, out, progress_);
  });
}

int CharacterConverter::WriteMotionData() {
  WriteStreamed(StreamMotionData);
  return 1;
}

int CharacterConverter::WritePhysiqueData() {
  WriteStreamed(StreamPhysiqueData);
  return 0;
}

int CharacterConverter::WriteCharacterMesh() {
  Write([&](TextSink&) {
    formats::LineReader reader(input_);
    StreamCharacterMesh(reader, progress_);
  });
  return 0;
}

bool OutputIsAnInput(const std::string& output, std::initializer_list<std::string> inputs) {
  const files::FileIdentity written = files::IdentifyOutput(output.c_str());
  for (const std::string& input : inputs)
    if (files::SameFile(written, files::IdentifyInput(input.c_str()))) return true;
  return false;
}

bool WriteCharacterFile(const std::string& fileName, const std::string& ase, const std::string& physique,
                        const std::string& motion, const std::string& bitmap, std::string* reason,
                        bool* outputIsInput) {
  if (outputIsInput != nullptr) *outputIsInput = false;
  if (OutputIsAnInput(fileName, {ase, physique, motion, bitmap})) {
    if (outputIsInput != nullptr) *outputIsInput = true;
    if (reason) reason->clear();
    return false;
  }
  const WriteOutcome outcome = WriteAndCommit(fileName, [&](TextSink& out) {
    out.Put(ase).Put('\n').Put(physique).Put('\n').Put(motion).Put('\n').Put(bitmap);
  });
  if (!outcome.Committed() && reason) *reason = outcome.reason;
  return outcome.Committed();
}

}  // namespace tarn::tool
