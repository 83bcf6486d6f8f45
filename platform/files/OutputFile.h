// OutputFile: a file the tool writes, under a name the user chose. Names are
// the system's (code page 949), taken exactly as given.
//
// What stands under the name decides how it is written:
//   - nothing, or a regular file: the output is made under a temporary name
//     beside it (unpredictable, created exclusively, never through a link)
//     and renamed into place only when the whole conversion has been
//     written, so that a failed or interrupted conversion never leaves half a
//     file where a good one stood. A replaced file keeps its permission bits,
//     and its owner and group where the process may give them;
//   - a symbolic link: the link stays, and the file it points to is written
//     as above (a link to nothing makes the file it names);
//   - a FIFO, a character or block device: written directly, since such an
//     output cannot be replaced; a failure there cannot take back what was
//     written. The type decides, not the name: a regular file under /dev/shm
//     or /proc/self/cwd/ is written whole or not at all like any other;
//   - one of the process's own descriptors (/dev/stdout, /dev/stderr,
//     /dev/fd/N, /proc/self/fd/N): its file as above when it is a regular
//     file reachable by its name (`> out.glb`: the file is replaced whole);
//     written through the descriptor when it is a pipe or a device, when it
//     was opened for appending (`>> log`), or when its file has no name.
//   - a folder: refused.
// The system is not asked to put the data on disk before the name changes
// (no fsync): a power loss soon after a conversion may leave a file empty,
// as it may for any program's fresh output.
// Temporary files are removed on every failure and when the OutputFile is
// destroyed without Commit. Signals belong to the program's host, not to
// this layer: a host that ends the process at a signal calls
// RemoveTemporaryOutputs from its handler first (platform/hosts/signals),
// and one that ends through the program's quit path lets the destructors
// do it. Under a host, a write past the file-size limit fails with EFBIG
// instead of ending the process (the host's QuitSignals ignores SIGXFSZ).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/files/AnsiFile.h"

namespace tarn::files {

class OutputFile {
 public:
  OutputFile();
  ~OutputFile();  // Abandon()
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the output for destination; false (with Error()) when it cannot.
  bool Open(const std::string& destination);
  // The same for a name of the host's own (as a Linux command line gives
  // it): taken as it stands, a backslash being part of a name there.
  bool OpenHostPath(const std::string& path);
  std::FILE* Stream() const { return stream_; }
  // Finishes the output: flushes and closes the stream, gives a replaced
  // file's permissions to the new one and renames it into place. False (with
  // Error()) when any step fails; the temporary is removed then and the old
  // file stays as it was.
  bool Commit();
  // Closes the stream and removes the temporary file, if any.
  void Abandon();
  const std::string& Error() const { return error_; }

 private:
  // An output being made under a temporary name, as each platform holds it
  // (a folder's handle, what a replaced file keeps); defined by each half of
  // the seam.
  struct Native;

  // Each half's own steps; Seam.cpp has the rest of Open, Commit and Abandon.
  // Opens the host path directly or under a temporary name (native_ set).
  bool OpenPath(const std::string& path);
  // Gives the temporary, before it is closed, what the output is to keep of
  // the file it replaces (or of a new file's defaults).
  void SetFinalAttributes();
  // Renames the temporary into place (when `place`) or removes it, and ends
  // native_; false (with error_) when it was not put in place.
  bool EndTemporary(bool place);

  std::string error_;
  std::FILE* stream_ = nullptr;
  std::unique_ptr<Native> native_;  // null: nothing open, or written directly
};

// Removes the temporary file of every output being written now, for a
// process about to end without unwinding. Safe in a signal handler (it
// only unlinks); the outputs' later Commit fails, their Abandon is harmless.
// On Windows it serves the console's control handler, which runs on a
// thread of its own.
void RemoveTemporaryOutputs();

// True when both names reach the same existing file (device and inode).
bool SameExistingFile(const std::string& a, const std::string& b);

}  // namespace tarn::files
