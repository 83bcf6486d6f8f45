#include "tool/ConverterSteps.h"

#include "platform/files/AnsiFile.h"
#include "platform/files/OutputFile.h"

namespace tarn::tool {

WriteOutcome WriteAndCommit(const std::string& name, const std::function<void(TextSink&)>& fill,
                            std::FILE* input) {
  files::OutputFile file;
  if (!file.Open(name)) return {WriteOutcome::kNotOpened, file.Error()};
  bool written;
  {
    TextSink out(file.Stream());
    fill(out);
    written = out.Flush();
  }
  // errno still holds the failed step's reason here: the file is abandoned
  // (and errno touched) only when `file` goes out of scope.
  if (!written) return {WriteOutcome::kNotWritten, files::LastErrorText()};
  if (input != nullptr && std::ferror(input)) return {WriteOutcome::kInputFailed, files::LastErrorText()};
  if (!file.Commit()) return {WriteOutcome::kNotCommitted, file.Error()};
  return {};
}

}  // namespace tarn::tool
