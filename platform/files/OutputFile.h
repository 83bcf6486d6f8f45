// OutputFile: a file the tool writes, made under a temporary name beside its
// destination and renamed into place only when the whole conversion has been
// written, so that a failed or interrupted conversion never leaves half a file
// where a good one stood. Names are the system's (code page 949, opened
// through AnsiFopen).
//
// An OutputFile that is destroyed without Commit removes its temporary file
// and leaves the destination as it was.
#pragma once

#include <cstdio>
#include <string>

namespace tarn::files {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file for destination; false (with Error()) when it
  // cannot be created.
  bool Open(const std::string& destination);
  std::FILE* Stream() const { return stream_; }
  // Closes the stream and renames it over the destination; false (with
  // Error()) when the close or the rename fails, and the temporary is removed.
  bool Commit();
  // Closes and removes the temporary file, if any.
  void Abandon();
  const std::string& Error() const { return error_; }

 private:
  std::string destination_, temporary_, error_;
  std::FILE* stream_ = nullptr;
};

// True when both names reach the same existing file (device and inode).
bool SameExistingFile(const std::string& a, const std::string& b);

// The strerror text of errno, for reports.
std::string LastErrorText();

}  // namespace tarn::files
