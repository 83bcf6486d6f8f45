// The character files' readers and checks on arbitrary text. The same input
// serves as the file and as its context (the ASE for a .mpd, the .mpd for a
// .mca), so the cross checks run on hostile records too. Every finding must
// name the file and a line of the input, and the findings stay within the
// readers' cap whatever the input.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/LineReader.h"
#include "tool/CharacterFiles.h"

namespace {

// Lines the input can have: pieces of at most 255 characters, or empty lines.
void Verify(const tarn::tool::Findings& findings, std::size_t size, std::size_t cap) {
  if (findings.size() > cap) std::abort();
  for (const tarn::tool::Finding& f : findings)
    if (f.file != "f" || f.line < 1 || static_cast<std::size_t>(f.line) > size + 1 || f.what.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  tarn::formats::LineReader in(text, size);
  tarn::tool::Findings findings;
  // Each reader and each check lists at most 100 findings and one line for
  // the rest; a .chr has at most five.
  [[maybe_unused]] constexpr std::size_t kPerPass = 101;
#if defined(TARN_FUZZ_PHYSIQUE_DATA)
  tarn::tool::PhysiqueData physique;
  tarn::tool::ReadPhysiqueData(in, "f", physique, findings);
  tarn::formats::LineReader ase(text, size);
  std::vector<int> mesh = tarn::tool::ReadSkinVertexCounts(ase);
  tarn::tool::CheckPhysiqueData(physique, "f", &mesh, findings);
  tarn::tool::CheckPhysiqueData(physique, "f", nullptr, findings);
  Verify(findings, size, 3 * kPerPass);
#elif defined(TARN_FUZZ_MOTION_DATA)
  tarn::tool::MotionData motion;
  tarn::tool::ReadMotionData(in, "f", motion, findings);
  tarn::formats::LineReader mpd(text, size);
  tarn::tool::PhysiqueData physique;
  tarn::tool::Findings ignored;
  tarn::tool::ReadPhysiqueData(mpd, "g", physique, ignored);
  tarn::tool::CheckMotionData(motion, "f", &physique, findings);
  tarn::tool::CheckMotionData(motion, "f", nullptr, findings);
  Verify(findings, size, 3 * kPerPass);
#elif defined(TARN_FUZZ_CHARACTER_FILE)
  tarn::tool::CharacterFile file;
  tarn::tool::ReadCharacterFile(in, "f", file, findings);
  Verify(findings, size, 5);
#else
  tarn::tool::CheckModelFile(in, "f", findings);
  Verify(findings, size, kPerPass);
#endif
  return 0;
}
