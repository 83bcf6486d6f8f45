// rigwright-batch: the tool's converters from a shell, for pipelines and for
// people without a desktop. The same converters and the same output bytes as
// the menu commands; the "Edit Message" reports go to stderr (in UTF-8 on Linux, in
// the ANSI code page on Windows), and a failure report makes the exit status 1
// (2 for a wrong command line).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TarnVersion.h"
#include "formats/LineReader.h"
#include "platform/hosts/console/ConsoleHost.h"
#include "platform/files/AnsiFile.h"
#ifndef _WIN32
#include "platform/codepage/Cp949.h"  // names shown in UTF-8; Windows shows the ANSI code page as it is
#endif
#include "programs/ExitStatus.h"
#if TARN_CHARACTER_GLTF
#include "export/CharacterExport.h"
#endif
#include "tool/CharacterConverter.h"
#include "tool/CharacterFiles.h"
#include "tool/MeshConverter.h"
#include "tool/ToolMessages.h"

namespace {

using namespace tarn;

constexpr char kUsage[] =
    "usage: rigwright-batch COMMAND ARGUMENTS\n"
    "\n"
    "  mesh FILE.ase [-C DIR]              one model file per geometry object (0.t3m, 1.t3m, ...),\n"
    "                                      written to DIR (default: the current folder)\n"
    "  physique FILE.ase OUT.mpd           physique data: frames, node matrices, rigid vertex bones\n"
    "  motion FILE.ase OUT.mca             motion data: position and rotation samples per bone\n"
    "  character-mesh FILE.ase OUT.mcm     the character mesh file (written empty)\n"
    "  chr ASE MPD MCA BMP OUT.chr         the character file naming the four files\n"
    "  check FILE...                       reads .t3m, .mpd, .mca, .chr and .mcm files back and\n"
    "                                      prints one line per problem: FILE:LINE: what\n"
    "  gltf CHARACTER.chr OUT.glb          the character as binary glTF 2.0: its mesh, skin,\n"
    "                                      skeleton, picture and motion; refused (the check's\n"
    "                                      lines on stderr) when its files disagree\n"
    "  --help, --version                   this text; the version\n"
    "\n"
    "Messages go to stderr. The exit status is 0 on success, 1 when a conversion failed\n"
    "(an input with no ASE line is refused), a message could not be written or check\n"
    "found a problem, and 2 for a wrong command line. A .chr is checked with its four\n"
    "files, looked up beside it; a lone .mpd is checked against NAME.ase beside it, a\n"
    "lone .mca against NAME.mpd. Inputs over 50 MB show their progress on a terminal.\n";

constexpr long long kProgressThreshold = 50LL << 20;

hosts::ConsoleHost host("rigwright-batch");

std::string System(const char* argument) { return hosts::ConsoleHost::SystemText(argument); }

std::string BareName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

tool::ProgressHook ProgressFor(const std::string& input) {
  long long size = 0;
  if (!hosts::ConsoleHost::ErrorIsTerminal() || files::AnsiFileSize(input.c_str(), &size) != 0 ||
      size <= kProgressThreshold)
    return {};
  std::string name = BareName(input);
  return [name, size](std::size_t done) {
    host.ShowProgress(name, static_cast<int>(100.0 * static_cast<double>(done) / size));
  };
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// The arguments of one command: a missing one is named, extra ones shown,
// with that command's own usage line.
bool Arguments(const char* command, const std::vector<std::string>& args, const std::vector<const char*>& names,
               const char* options = "") {
  if (args.size() == names.size()) return true;
  if (args.size() < names.size())
    std::fprintf(stderr, "rigwright-batch: %s: missing %s\n", command, names[args.size()]);
  else
    std::fprintf(stderr, "rigwright-batch: %s: one argument too many: '%s'\n", command, args[names.size()].c_str());
  std::fprintf(stderr, "usage: rigwright-batch %s", command);
  for (const char* name : names) std::fprintf(stderr, " %s", name);
  std::fprintf(stderr, "%s\n", options);
  std::fputs("(rigwright-batch --help lists every command)\n", stderr);
  return false;
}

// A file without a single ASE line (a keyword starting with '*') is no
// export at all: the converters would write empty outputs and call that a
// success. Said here and refused; the tool's window keeps its own message.
// Unreadable inputs are left to the converters, which say why.
bool LooksLikeAse(const std::string& input, const char* shown) {
  std::FILE* file = files::AnsiFopen(input.c_str(), "rt");
  if (file == nullptr) return true;
  formats::LineReader reader(file);
  bool ase = false;
  while (!ase && reader.NextKeywordLine()) ase = reader.Keyword().front() == '*';
  std::fclose(file);
  if (!ase)
    std::fprintf(stderr, "rigwright-batch: %s: no ASE line (a line starting with '*'): not an ASE export; nothing written\n",
                 shown);
  return ase;
}

int Mesh(const std::vector<std::string>& args) {
  const bool dir = args.size() >= 2 && args[1] == "-C";
  if (!Arguments("mesh", args, dir ? std::vector<const char*>{"FILE.ase", "-C", "DIR"} : std::vector<const char*>{"FILE.ase"},
                 dir ? "" : " [-C DIR]"))
    return 2;
  const std::string input = System(args[0].c_str());
  if (!LooksLikeAse(input, args[0].c_str())) return 1;
  // The export is opened and identified before -C enters DIR: its name stays
  // the one given, relative to where the program started, however deep that
  // folder is (a name from the root may be too long to open).
  tool::MeshConverter converter;
  converter.SetAseFile(BareName(input), input);
  converter.SetProgress(ProgressFor(input));
  const files::FileIdentity inputFile = files::IdentifyInput(input.c_str());
  std::FILE* stream = files::AnsiFopen(input.c_str(), "rt");
  const int openError = errno;
  if (args.size() == 3 && _chdir(System(args[2].c_str()).c_str()) != 0) {
    std::fprintf(stderr, "rigwright-batch: %s: %s\n", args[2].c_str(), std::strerror(errno));
    if (stream != nullptr) std::fclose(stream);
    return 1;
  }
  errno = openError;
  tool::MeshRun run = converter.RunOpened(stream, inputFile, input.c_str());
  host.EndProgressLine();
  return run.ok && !host.Failed() ? 0 : 1;
}

int Character(const char* command, const char* out, const std::vector<std::string>& args, int kind) {
  if (!Arguments(command, args, {"FILE.ase", out})) return 2;
  std::string input = System(args[0].c_str());
  if (!LooksLikeAse(input, args[0].c_str())) return 1;
  tool::CharacterConverter converter;
  converter.SetInput(BareName(input), input);
  converter.SetProgress(ProgressFor(input));
  converter.RunConversion(System(args[1].c_str()).c_str(), kind);
  host.EndProgressLine();
  return converter.LastSucceeded() && !host.Failed() ? 0 : 1;
}

int Chr(const std::vector<std::string>& args) {
  if (!Arguments("chr", args, {"ASE", "MPD", "MCA", "BMP", "OUT.chr"})) return 2;
  std::string reason;
  bool outputIsInput = false;
  std::string out = System(args[4].c_str());
  if (!tool::WriteCharacterFile(out, System(args[0].c_str()), System(args[1].c_str()), System(args[2].c_str()),
                                System(args[3].c_str()), &reason, &outputIsInput)) {
    if (outputIsInput)
      tool::ShowOutputIsInput(nullptr, out);
    else
      tool::ShowCannotWrite(nullptr, out, reason);
    return 1;
  }
  return 0;
}

// Text as the system holds it (code page 949), for the terminal: names read
// from a .chr may hold control characters, which never reach it.
std::string Shown(const std::string& text) {
#ifdef _WIN32
  std::string shown = text;
#else
  std::string shown = codepage::Cp949ToUtf8(text);
#endif
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return shown;
}

// Every name is looked at before any file is read, so that a wrong command
// line reads nothing.
int Check(const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (options && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "rigwright-batch: check: unknown option '%s'\n", arg.c_str());
      return Usage();
    }
    if (!tool::IsCheckable(arg)) {
      std::fprintf(stderr, "rigwright-batch: check: '%s' is none of the files it checks (.t3m, .mpd, .mca, .chr, .mcm)\n",
                   arg.c_str());
      return 2;
    }
    paths.push_back(System(arg.c_str()));
  }
  if (paths.empty()) {
    std::fputs("rigwright-batch: check: name the files to check\n", stderr);
    return Usage();
  }
  bool problems = false;
  for (const std::string& path : paths) {
    tool::Findings findings;
    tool::CheckFile(path, findings);
    for (tool::Finding& finding : findings) {
      finding.file = Shown(finding.file);
      finding.what = Shown(finding.what);  // may name a file found in a .chr
      std::fputs(tool::FormatFinding(finding).c_str(), stdout);
    }
    problems = problems || !findings.empty();
  }
  // A lost stdout with findings keeps the status 1 (programs/ExitStatus.h).
  return problems ? 1 : 0;
}

// The report goes to stderr, so that the file may go to stdout.
int Gltf(const std::vector<std::string>& args) {
  if (!Arguments("gltf", args, {"CHARACTER.chr", "OUT.glb"})) return 2;
#if !TARN_CHARACTER_GLTF
  // The Windows build has no PNG library for the writer. What a user can do
  // here instead: check the files, and export them with a build that has it.
  std::fprintf(stderr,
               "rigwright-batch: gltf: this Windows build has no glTF writer; nothing written.\n"
               "  To check the character here: rigwright-batch check %s\n"
               "  To export it, copy the .chr and its four files to Linux and run the Linux build's\n"
               "  rigwright-batch gltf there (or under WSL).\n",
               args[0].c_str());
  return 1;
#else
  const std::string chr = System(args[0].c_str()), out = System(args[1].c_str());
  exports::CharacterGltfRun run = exports::ExportCharacterGltf(chr, out);
  if (run.refused) {
    std::fprintf(stderr, "rigwright-batch: gltf: %s: not exported, for these problems:\n", args[0].c_str());
    for (tool::Finding& finding : run.problems) {
      finding.file = Shown(finding.file);
      finding.what = Shown(finding.what);  // may name a file found in a .chr
      std::fputs(tool::FormatFinding(finding).c_str(), stderr);
    }
    return 1;
  }
  for (const std::string& warning : run.warnings)
    std::fprintf(stderr, "rigwright-batch: gltf: warning: %s\n", Shown(warning).c_str());
  if (!run.ok) {
    // The writer names the file as the host does.
    std::fprintf(stderr, "rigwright-batch: gltf: %s\n", run.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "rigwright-batch: gltf: %s: %d joints, %lld vertices, %lld triangles, %d keys (%.2f s); %lld bytes\n",
               args[1].c_str(), run.joints, run.vertices, run.triangles, run.keys, run.seconds, run.bytes);
  return 0;
#endif
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("rigwright-batch %s\n", TARN_VERSION);
    return 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "mesh") return Mesh(args);
  if (command == "physique") return Character("physique", "OUT.mpd", args, tool::kPhysiqueData);
  if (command == "motion") return Character("motion", "OUT.mca", args, tool::kMotionData);
  if (command == "character-mesh") return Character("character-mesh", "OUT.mcm", args, tool::kCharacterMesh);
  if (command == "chr") return Chr(args);
  if (command == "check") return Check(args);
  if (command == "gltf") return Gltf(args);
  std::fprintf(stderr, "rigwright-batch: unknown %s '%s'\n", command[0] == '-' ? "option" : "command", command.c_str());
  return Usage();
}

}  // namespace

int main(int argc, char** argv) { return tarn::programs::ExitStatus("rigwright-batch", Run(argc, argv)); }
