#include "tests/layout/LayerCheck.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace tarn::layout {
namespace {

namespace fs = std::filesystem;

struct Target {
  std::string folder;
  std::set<std::string> sources, depends, headerFolders;
};

std::string Parent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Stem(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  return name.substr(0, name.rfind('.'));
}

bool IsSourceFile(const fs::path& p) {
  const std::string e = p.extension().string();
  return e == ".h" || e == ".hpp" || e == ".cpp" || e == ".inl";
}

// The layers the design draws, where a target's own DEPENDS would let a
// shortcut through: the folders whose targets a folder's targets may never
// depend on, however indirectly. The glTF writer knows neither the engine
// nor the tool; the engine and the tool know no export; nothing below the
// programs knows a host.
struct Never {
  const char* folder;
  std::vector<const char*> above;
};
const Never kNever[] = {
    {"gltf", {"engine", "tool", "export", "programs", "platform/hosts"}},
    {"engine", {"gltf", "export", "tool", "programs", "platform/hosts"}},
    {"tool", {"gltf", "export", "engine", "programs", "platform/hosts"}},
    {"export", {"programs", "platform/hosts"}},
};

bool Under(const std::string& path, const std::string& folder) {
  return path == folder || path.rfind(folder + "/", 0) == 0;
}

class Checker {
 public:
  Checker(const fs::path& root, std::map<std::string, Target> targets) : root_(root), targets_(std::move(targets)) {
    for (const auto& [name, t] : targets_) {
      byFolder_[t.folder].insert(name);
      for (const std::string& s : t.sources) bySource_[s].insert(name);
      for (const std::string& h : t.headerFolders) byHeaderFolder_[h].insert(name);
    }
  }

  LayerReport Run() {
    LayerReport report;
    report.targets = static_cast<int>(targets_.size());
    CheckTargetCycles(report);
    CheckLayerRules(report);
    std::set<std::string> folders;
    for (const auto& [name, t] : targets_) {
      folders.insert(t.folder);
      folders.insert(t.headerFolders.begin(), t.headerFolders.end());
    }
    for (const std::string& folder : folders) {
      std::error_code ec;
      std::vector<std::string> files;
      for (const fs::directory_entry& e : fs::directory_iterator(root_ / folder, ec))
        if (e.is_regular_file() && IsSourceFile(e.path())) files.push_back(folder + "/" + e.path().filename().string());
      std::sort(files.begin(), files.end());
      for (const std::string& file : files) {
        CheckFile(file, report);
        ++report.filesChecked;
      }
    }
    CheckFolderCycles(report);
    return report;
  }

 private:
  std::set<std::string> Owners(const std::string& file) const {
    if (auto s = bySource_.find(file); s != bySource_.end()) return s->second;
    const std::string folder = Parent(file);
    if (auto h = byHeaderFolder_.find(folder); h != byHeaderFolder_.end()) return h->second;
    std::set<std::string> sameStem;
    if (auto f = byFolder_.find(folder); f != byFolder_.end()) {
      for (const std::string& t : f->second)
        for (const std::string& s : targets_.at(t).sources)
          if (Parent(s) == folder && Stem(s) == Stem(file)) sameStem.insert(t);
      if (!sameStem.empty()) return sameStem;
      return f->second;
    }
    return {};
  }

  // The target and everything it depends on, directly or not.
  const std::set<std::string>& Closure(const std::string& name) {
    auto found = closures_.find(name);
    if (found != closures_.end()) return found->second;
    std::set<std::string> seen{name};
    std::vector<std::string> work{name};
    while (!work.empty()) {
      const std::string t = work.back();
      work.pop_back();
      auto it = targets_.find(t);
      if (it == targets_.end()) continue;
      for (const std::string& d : it->second.depends)
        if (targets_.count(d) != 0 && seen.insert(d).second) work.push_back(d);
    }
    return closures_[name] = std::move(seen);
  }

  // The repository file an include names, or "" for a file outside the tree.
  std::string Resolve(const std::string& including, char quote, const std::string& name) const {
    auto exists = [&](const std::string& rel) { return fs::is_regular_file(root_ / rel); };
    if (quote == '"') {
      const std::string beside = Parent(including) + "/" + name;
      if (name.find('/') == std::string::npos && exists(beside)) return fs::path(beside).lexically_normal().string();
      if (exists(name)) return fs::path(name).lexically_normal().string();
      if (exists(beside)) return fs::path(beside).lexically_normal().string();
    }
    for (const auto& [folder, names] : byHeaderFolder_)
      if (exists(folder + "/" + name)) return folder + "/" + name;
    return {};
  }

  // The quote and the name of an #include line; false for any other line.
  static bool ParseInclude(const std::string& line, char* quote, std::string* name) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return false;
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return false;
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return false;
    *quote = line[i];
    const std::size_t end = line.find(*quote == '"' ? '"' : '>', i + 1);
    if (end == std::string::npos) return false;
    *name = line.substr(i + 1, end - i - 1);
    return true;
  }

  void CheckFile(const std::string& file, LayerReport& report) {
    const std::set<std::string> owners = Owners(file);
    std::set<std::string> allowed;
    for (const std::string& o : owners) {
      const std::set<std::string>& c = Closure(o);
      allowed.insert(c.begin(), c.end());
    }
    std::ifstream in(root_ / file);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      char quote;
      std::string name;
      if (!ParseInclude(line, &quote, &name)) continue;
      const std::string header = Resolve(file, quote, name);
      if (header.empty() || header == file) continue;
      const std::string where = file + ":" + std::to_string(number) + ": ";
      const std::set<std::string> headerOwners = Owners(header);
      if (headerOwners.empty()) {
        report.problems.push_back(where + "includes " + header + ", which belongs to no library");
        continue;
      }
      if (Parent(header) != Parent(file)) folderEdges_[Parent(file)][Parent(header)] = where + "includes " + header;
      const bool ok = std::any_of(headerOwners.begin(), headerOwners.end(),
                                  [&](const std::string& h) { return allowed.count(h) != 0; });
      if (!ok)
        report.problems.push_back(where + "includes " + header + " of " + Join(headerOwners) + ", but " +
                                  Join(owners) + " does not depend on it");
    }
  }

  static std::string Join(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " or ") + n;
    return out;
  }

  // Strongly connected groups of a graph given as node -> successors.
  template <typename Successors>
  static std::vector<std::vector<std::string>> Circles(const std::set<std::string>& nodes, Successors successors) {
    std::map<std::string, int> index, low;
    std::set<std::string> onStack;
    std::vector<std::string> stack;
    std::vector<std::vector<std::string>> groups;
    int next = 0;
    std::function<void(const std::string&)> visit = [&](const std::string& v) {
      index[v] = low[v] = next++;
      stack.push_back(v);
      onStack.insert(v);
      for (const std::string& w : successors(v)) {
        if (nodes.count(w) == 0) continue;
        if (index.count(w) == 0) {
          visit(w);
          low[v] = std::min(low[v], low[w]);
        } else if (onStack.count(w) != 0) {
          low[v] = std::min(low[v], index[w]);
        }
      }
      if (low[v] == index[v]) {
        std::vector<std::string> group;
        std::string w;
        do {
          w = stack.back();
          stack.pop_back();
          onStack.erase(w);
          group.push_back(w);
        } while (w != v);
        if (group.size() > 1) groups.push_back(group);
      }
    };
    for (const std::string& v : nodes)
      if (index.count(v) == 0) visit(v);
    return groups;
  }

  void CheckTargetCycles(LayerReport& report) {
    std::set<std::string> nodes;
    for (const auto& [name, t] : targets_) nodes.insert(name);
    for (auto& group : Circles(nodes, [&](const std::string& v) { return targets_.at(v).depends; })) {
      std::sort(group.begin(), group.end());
      report.problems.push_back("targets depend on each other in a circle: " +
                                Join(std::set<std::string>(group.begin(), group.end())));
    }
  }

  void CheckLayerRules(LayerReport& report) {
    for (const auto& [name, t] : targets_)
      for (const Never& rule : kNever) {
        if (!Under(t.folder, rule.folder)) continue;
        // Every target it reaches, with the first one on the way there.
        std::map<std::string, std::string> reached;
        std::vector<std::string> todo(t.depends.begin(), t.depends.end());
        for (const std::string& d : t.depends) reached.emplace(d, d);
        while (!todo.empty()) {
          const std::string v = todo.back();
          todo.pop_back();
          auto it = targets_.find(v);
          if (it == targets_.end()) continue;
          for (const std::string& w : it->second.depends)
            if (reached.emplace(w, reached[v]).second) todo.push_back(w);
        }
        for (const auto& [reachedName, via] : reached) {
          auto it = targets_.find(reachedName);
          if (it == targets_.end()) continue;
          for (const char* above : rule.above)
            if (Under(it->second.folder, above))
              report.problems.push_back(name + " (" + t.folder + ") depends on " + reachedName + " (" +
                                        it->second.folder + ") through " + via + ": " + rule.folder +
                                        "/ may not depend on " + above + "/");
        }
      }
  }

  void CheckFolderCycles(LayerReport& report) {
    std::set<std::string> nodes;
    for (const auto& [from, to] : folderEdges_) {
      nodes.insert(from);
      for (const auto& [f, why] : to) nodes.insert(f);
    }
    auto successors = [&](const std::string& v) {
      std::set<std::string> out;
      if (auto it = folderEdges_.find(v); it != folderEdges_.end())
        for (const auto& [f, why] : it->second) out.insert(f);
      return out;
    };
    for (auto& group : Circles(nodes, successors)) {
      std::set<std::string> members(group.begin(), group.end());
      std::string text = "folders include each other in a circle:";
      for (const std::string& from : members)
        for (const auto& [to, why] : folderEdges_[from])
          if (members.count(to) != 0) text += "\n  " + why;
      report.problems.push_back(text);
    }
  }

  fs::path root_;
  std::map<std::string, Target> targets_;
  std::map<std::string, std::set<std::string>> byFolder_, bySource_, byHeaderFolder_;
  std::map<std::string, std::set<std::string>> closures_;
  std::map<std::string, std::map<std::string, std::string>> folderEdges_;
};

}  // namespace

LayerReport CheckLayers(const std::filesystem::path& root, std::istream& records) {
  std::map<std::string, Target> targets;
  std::string line;
  while (std::getline(records, line)) {
    std::istringstream fields(line);
    std::string kind, name, value;
    if (!(fields >> kind >> name >> value)) continue;
    Target& t = targets[name];
    if (kind == "target")
      t.folder = value;
    else if (kind == "source")
      t.sources.insert(value);
    else if (kind == "depends")
      t.depends.insert(value);
    else if (kind == "headers")
      t.headerFolders.insert(value);
  }
  return Checker(root, std::move(targets)).Run();
}

}  // namespace tarn::layout
