// How a program ends once it has said what it had to say. Output to stdout
// waits in stdio's buffer until the end, so a full disk, a closed pipe or a
// closed stdout shows only when the buffer is handed over: a program that
// returned without looking would report success for text nobody received.
#pragma once

namespace tarn::programs {

// The status `main` returns: `status` as it is, except that a run that
// succeeded (0) becomes 1 when stdout or stderr could not be written or
// closed. A lost stdout is said on stderr ("PROGRAM: write error: REASON");
// a lost stderr cannot be said anywhere. A stdout that was closed before the
// program started and received nothing lost nothing.
int ExitStatus(const char* program, int status);

}  // namespace tarn::programs
