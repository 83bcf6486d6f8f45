// File names as the system holds them (code page 949 bytes, Windows
// separators) meeting a Linux file system (UTF-8 names, '/').
//
// Every file the system opens goes through AnsiFopen or OpenOwnFile, and the
// working directory through _chdir/_getcwd, so that "하이트필드.txt" appears on
// disk with its Korean name and "Model\\0.t3m" finds Model/0.t3m. Names the
// host gave (a folder called "café") come back to it unchanged
// (platform/codepage/Cp949.h).
//
// Choices of ours:
//   - '\\' separates folders, like '/';
//   - a name being read is matched case-insensitively when the exact name
//     does not exist (worlds made on the original platform never had to
//     agree on case), folder by folder; the exact name wins when it exists.
//     Names being written are taken exactly as given: listing a folder for
//     every new file would make the N-th output cost N times the first;
//   - what the system reads is a regular file: it is opened without
//     blocking and checked before anything is read, so a FIFO, a device or
//     a folder in its place fails at once instead of hanging or spinning;
//   - the "t" of a C mode is kept as the only difference of text mode: a
//     text file that starts with a byte-order mark (UTF-16 little or big
//     endian, UTF-8) is decoded to code page 949 as it is read, the mark
//     dropped, as the text its 8-bit form would be. Otherwise no bytes
//     change: readers drop the CR of CR LF themselves (formats/LineReader.h),
//     and files are written with LF line ends.
// None of these functions throws; failures are the C library's (null or -1
// with errno), and LastErrorText says why.
#pragma once

#include <cstdio>
#include <string>

namespace tarn::files {

// The Linux path for a system file name, exact: converted, separators mapped.
std::string AnsiToHostPath(const char* name);
// As AnsiToHostPath, then resolved case-insensitively against the disk if
// the exact path does not exist (an unresolvable path comes back exact).
std::string ResolveAnsiPath(const char* name);

// Opens a file as fopen would. Reading ("r" without "+"): the name is
// resolved as above and only a regular file opens; *size (when given)
// receives its size in bytes. Any other mode opens the exact name.
std::FILE* AnsiFopen(const char* name, const char* mode, long long* size = nullptr);

// The program's own files ("Tarn.log", the terrain's debug file), which a
// stranger's world folder may have planted something under: opened by their
// exact name, never through a symbolic link, and only when what stands there
// is a regular file with no second name (hard link), created if missing;
// a FIFO, device or link is left alone and null comes back.
enum class OwnFile { kAppend, kEmpty };
std::FILE* OpenOwnFile(const char* name, OwnFile mode);
// As OpenOwnFile, in the folder the program started in (see PinStartFolder).
std::FILE* OpenOwnFileInStartFolder(const char* name, OwnFile mode);
// Makes the current working folder the start folder, kept by handle so that
// it stays the same folder while the working folder moves (and if the folder
// is renamed). Until it is called, the start folder is the working folder.
void PinStartFolder();
// Makes `folder` (a host path, not a system name) the start folder; false
// (errno set) when it is no folder that can be held.
bool PinStartFolderAt(const char* folder);

// rename(2) and remove(3) on system names (both resolved as for reading).
int AnsiRename(const char* from, const char* to);
int AnsiRemove(const char* name);
// 0 and the size in bytes when the name is an existing regular file.
int AnsiFileSize(const char* name, long long* size);

// Which file a name reaches (links followed), for telling whether an output
// would overwrite an input however either is spelled. `known` is false when
// nothing exists under the name.
struct FileIdentity {
  bool known = false;
  unsigned long long device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
// The file a name being read reaches (resolved as for reading).
FileIdentity IdentifyInput(const char* name);
// The file an output of that name would write (exact name, links followed).
FileIdentity IdentifyOutput(const char* name);
// True when both are known and the same file.
bool SameFile(const FileIdentity& a, const FileIdentity& b);

// The reason of the last failure (errno), for reports; a refused special
// file reads "not a regular file".
std::string LastErrorText();

// The working folder as it was when this was made, to enter again later
// (after a _chdir into a subfolder). Held by a handle on Linux, so that a
// folder of any depth is entered again, even one whose name is longer than
// any buffer; by its name on Windows, where names are bounded.
class HeldWorkingFolder {
 public:
  HeldWorkingFolder();
  ~HeldWorkingFolder();
  HeldWorkingFolder(const HeldWorkingFolder&) = delete;
  HeldWorkingFolder& operator=(const HeldWorkingFolder&) = delete;

  bool Held() const;
  // Makes it the working folder again; false (errno set) when it cannot.
  bool Enter() const;

 private:
  int handle_ = -1;
  std::string name_;
};

}  // namespace tarn::files

// The C runtime's working-directory calls, on system names. Windows has
// them in its C runtime; elsewhere they are ours: _chdir resolves a name as
// for reading, and both take names of any length, so that a folder deeper
// than PATH_MAX is named by _getcwd (as long as the caller's buffer holds
// it) and entered again by _chdir, folder by folder through handles.
#if defined(_WIN32)
#include <direct.h>
#else
int _chdir(const char* dir);
char* _getcwd(char* buffer, int size);  // the name comes back in code page 949
#endif
