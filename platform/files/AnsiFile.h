// File names as the system holds them (code page 949 bytes, Windows
// separators) meeting a Linux file system (UTF-8 names, '/').
//
// Every file the system opens goes through AnsiFopen, and the working
// directory through _chdir/_getcwd, so that "하이트필드.txt" appears on disk
// with its Korean name and "Model\\0.t3m" finds Model/0.t3m.
//
// Choices of ours:
//   - '\\' separates folders, like '/';
//   - names are matched case-insensitively when the exact name does not
//     exist (worlds made on the original platform never had to agree on
//     case), folder by folder; the exact name wins when it exists;
//   - the "t" of a C mode is dropped: Linux has no text mode. Readers drop
//     the CR of CR LF themselves (formats/LineReader.h), and files are
//     written with LF line ends.
// None of these functions throws; failures are the C library's (null or -1
// with errno).
#pragma once

#include <cstdio>
#include <string>

namespace tarn::files {

// The Linux path for a system file name, exact: converted, separators mapped.
std::string AnsiToHostPath(const char* name);
// As AnsiToHostPath, then resolved case-insensitively against the disk if
// the exact path does not exist (an unresolvable path comes back exact).
std::string ResolveAnsiPath(const char* name);

std::FILE* AnsiFopen(const char* name, const char* mode);
// rename(2) and remove(3) on system names.
int AnsiRename(const char* from, const char* to);
int AnsiRemove(const char* name);
// 0 and the size in bytes when the name is an existing regular file.
int AnsiFileSize(const char* name, long long* size);

}  // namespace tarn::files

// The C runtime's working-directory calls, on system names. Windows has
// them in its C runtime; elsewhere they are ours.
#if defined(_WIN32)
#include <direct.h>
#else
int _chdir(const char* dir);
char* _getcwd(char* buffer, int size);  // the name comes back in code page 949
#endif
