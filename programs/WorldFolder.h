// Entering the world folder a program was given, for tarnview and
// tarnview-replay alike.
//
// Choices of ours:
//   - a folder without "exam.map" is said on stderr ("holds no world"); the
//     engine still runs there, as it always did, and shows its grey;
//   - Tarn.log (and the terrain's debug file) go to the folder itself, unless
//     it is the installed sample (<bin>/../share/tarn/sample, the same folder
//     however it is named) or a folder this user cannot write: then to
//     $XDG_STATE_HOME/tarn/ ($HOME/.local/state/tarn/ without it), made if
//     missing, so a package's folder never holds what a run wrote and a
//     user's run keeps a log they can read.
#pragma once

#include <string>

namespace tarn::programs {

// Enters `folder` (null: stays where it is) and chooses the log's folder.
// False, said on stderr as "<program>: <folder>: <reason>", when it cannot
// be entered.
bool EnterWorldFolder(const char* program, const char* folder);
// Says on stderr when the working folder holds no "exam.map".
void SayIfNoWorld(const char* program);

// The folder the log goes to instead of a world folder that is not ours:
// $XDG_STATE_HOME/tarn or $HOME/.local/state/tarn ("" without either).
std::string StateLogFolder();

}  // namespace tarn::programs
