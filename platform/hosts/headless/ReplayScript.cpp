// Parsing the replay input script.
#include "platform/hosts/headless/ReplayScript.h"

#include <cstring>
#include <memory>
#include <strings.h>

#include "formats/LineReader.h"
#include "formats/LineScan.h"

namespace tarn::hosts {
namespace {

struct NamedKey {
  const char* name;
  int code;
};
constexpr NamedKey kKeys[] = {{"W", 0x11},     {"A", 0x1E},     {"S", 0x1F},      {"D", 0x20},
                              {"Q", 0x10},     {"Up", 0xC8},    {"Down", 0xD0},   {"Left", 0xCB},
                              {"Right", 0xCD}, {"LShift", 0x2A}, {"Escape", 0x01}};

// A whole word as a decimal int; false when anything else is in it.
bool WordAsInt(std::string_view word, int& value) {
  const char* p = word.data();
  const char* end = p + word.size();
  return !word.empty() && formats::ScanInt(p, end, value) && p == end;
}

bool StartsWith(std::string_view word, std::string_view prefix) { return word.substr(0, prefix.size()) == prefix; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int KeyCodeByName(std::string_view name) {
  for (const NamedKey& k : kKeys)
    if (name.size() == std::strlen(k.name) && strncasecmp(name.data(), k.name, name.size()) == 0) return k.code;
  return -1;
}

bool ReplayScript::ParseLine(std::string_view line, long long number, std::string& error) {
  auto fail = [&](const std::string& what) {
    error = "input script line " + std::to_string(number) + ": " + what;
    return false;
  };
  if (std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
  std::string_view range = formats::WordAt(line, 0);
  if (range.empty()) return true;

  Entry entry{};
  const char* p = range.data();
  const char* end = p + range.size();
  int first = 0, last = 0;
  if (!formats::ScanInt(p, end, first) || first < 0) return fail("expected a frame number, got \"" + std::string(range) + "\"");
  last = first;
  if (p != end) {
    if (*p != '-') return fail("bad frame range \"" + std::string(range) + "\"");
    ++p;
    if (!formats::ScanInt(p, end, last) || p != end || last < 0) return fail("bad frame range \"" + std::string(range) + "\"");
    if (last < first) return fail("frame range \"" + std::string(range) + "\" runs backwards");
  }
  entry.first = first;
  entry.last = last;

  for (int i = 1;; ++i) {
    std::string_view item = formats::WordAt(line, i);
    if (item.empty()) break;
    int value = 0;
    if (int code = KeyCodeByName(item); code >= 0) {
      entry.input.keys.set(static_cast<std::size_t>(code));
    } else if (strncasecmp(item.data(), "lmb", 3) == 0 && item.size() == 3) {
      entry.input.leftButton = true;
    } else if (strncasecmp(item.data(), "rmb", 3) == 0 && item.size() == 3) {
      entry.input.rightButton = true;
    } else if (StartsWith(item, "dik=")) {
      if (!WordAsInt(item.substr(4), value) || value < 0 || value > 255)
        return fail("scan code must be 0 to 255 in \"" + std::string(item) + "\"");
      entry.input.keys.set(static_cast<std::size_t>(value));
    } else if (StartsWith(item, "dx=") || StartsWith(item, "dy=")) {
      if (!WordAsInt(item.substr(3), value)) return fail("bad mouse motion \"" + std::string(item) + "\"");
      (item[1] == 'x' ? entry.input.dx : entry.input.dy) += value;
    } else {
      return fail("unknown item \"" + std::string(item) + "\"");
    }
  }
  lastFrame_ = std::max(lastFrame_, entry.last);
  entries_.push_back(entry);
  return true;
}

bool ReplayScript::Parse(const char* data, std::size_t size, std::string& error) {
  formats::LineReader reader(data, size);
  while (reader.Next())
    if (!ParseLine(reader.Line(), reader.LineNumber(), error)) return false;
  return true;
}

bool ReplayScript::ParseFile(const char* path, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) {
    error = std::string("cannot open input script ") + path + ": " + std::strerror(errno);
    return false;
  }
  formats::LineReader reader(file.get());
  while (reader.Next())
    if (!ParseLine(reader.Line(), reader.LineNumber(), error)) return false;
  if (std::ferror(file.get())) {
    error = std::string("cannot read input script ") + path;
    return false;
  }
  return true;
}

FrameInput ReplayScript::At(std::int64_t frame) const {
  FrameInput in;
  for (const Entry& e : entries_) {
    if (frame < e.first || frame > e.last) continue;
    in.keys |= e.input.keys;
    in.leftButton |= e.input.leftButton;
    in.rightButton |= e.input.rightButton;
    in.dx += e.input.dx;
    in.dy += e.input.dy;
  }
  return in;
}

}  // namespace tarn::hosts
