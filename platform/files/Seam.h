// What the two halves of the file seam (the POSIX files here, windows/ for
// Windows) give each other. Private to platform/files: Seam.cpp is the code
// both builds share, and each half defines the steps declared here for it.
#pragma once

#include <cstdio>
#include <string>

namespace tarn::files::detail {

// The refusal of a special file (a FIFO, device, folder or link where a
// regular file was wanted) is remembered, so that LastErrorText can say what
// happened rather than what errno's table says. Refuse sets errno to `error`
// and remembers it; ClearRefusal forgets it (at the start of every open).
void Refuse(int error);
void ClearRefusal();

// Each half's own: opens a regular file for reading (AnsiFile.h) under its
// host path, decoding marked text when `text`; null with errno otherwise.
std::FILE* OpenForReading(const std::string& path, bool text, long long* size);

}  // namespace tarn::files::detail
