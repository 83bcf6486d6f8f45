// The two readings of a name a world file gives. Names are code page 949,
// but a world written in a UTF-8 editor holds UTF-8 bytes, which code page
// 949 reads as other characters ("café" as "caf" and a Hangul syllable).
//
// Choices of ours (Linux; on Windows the ANSI name is the only reading):
//   - a name no file answers to under its code page 949 reading, whose bytes
//     are UTF-8 naming a file that exists, is opened under that reading,
//     with one log line saying so;
//   - a name beyond ASCII that is not found at all says which readings were
//     tried, as a text added to the "cannot open" line.
#pragma once

#include <string>

#include "engine/log/TarnLog.h"

// The name to open (a system name): `name` itself, or the system name of its
// UTF-8 reading when only that names a regular file (logged on `log`).
std::string OpenableName(const char* name, const LoadLog& log);

// " (looked for as code page 949 "..." and as UTF-8 "...")" for a name with
// bytes beyond ASCII, the UTF-8 part only when the bytes are UTF-8; "" for
// an ASCII name. Both readings are given as system text, as log lines are.
std::string NameReadings(const char* name);
