// Menu resources from a resource script.
#include "platform/win32/MenuScript.h"

#include <cstdlib>
#include <deque>

namespace tarn::win32 {
namespace {

struct Token {
  enum Kind { kWord, kString, kComma, kEnd } kind = kEnd;
  std::string text;
  int line = 0;
};

// Splits a script into words, strings and commas, dropping comments and
// preprocessor lines.
class Tokens {
 public:
  explicit Tokens(std::string_view s) : s_(s) {}

  const Token& Peek() {
    if (!peeked_) {
      next_ = Read();
      peeked_ = true;
    }
    return next_;
  }
  Token Take() {
    Token t = Peek();
    peeked_ = false;
    lastLine = t.line;
    return t;
  }
  bool bad = false;
  int lastLine = 1;  // of the token taken last

 private:
  Token Read() {
    bool lineStart = pos_ == 0 || s_[pos_ - 1] == '\n';
    for (;;) {
      while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) {
        if (s_[pos_] == '\n') {
          ++line_;
          lineStart = true;
        }
        ++pos_;
      }
      if (pos_ >= s_.size()) return Token{Token::kEnd, "", line_};
      if (lineStart && s_[pos_] == '#') {
        SkipLine();
        continue;
      }
      if (s_.substr(pos_, 2) == "//") {
        SkipLine();
        continue;
      }
      if (s_.substr(pos_, 2) == "/*") {
        std::size_t close = s_.find("*/", pos_ + 2);
        for (std::size_t i = pos_; i < (close == std::string_view::npos ? s_.size() : close); ++i)
          if (s_[i] == '\n') ++line_;
        pos_ = close == std::string_view::npos ? s_.size() : close + 2;
        lineStart = false;
        continue;
      }
      break;
    }
    Token t;
    t.line = line_;
    char c = s_[pos_];
    if (c == ',') {
      ++pos_;
      t.kind = Token::kComma;
    } else if (c == '"') {
      t.kind = Token::kString;
      ReadString(t.text);
    } else {
      t.kind = Token::kWord;
      while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != ',' && s_[pos_] != '"') t.text.push_back(s_[pos_++]);
    }
    return t;
  }

  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  void SkipLine() {
    while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
  }

  void ReadString(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') {
        if (pos_ < s_.size() && s_[pos_] == '"') {
          out.push_back('"');
          ++pos_;
          continue;
        }
        return;
      }
      if (c == '\n') break;  // strings do not run past their line
      if (c == '\\' && pos_ < s_.size()) {
        char e = s_[pos_++];
        out.push_back(e == 't' ? '\t' : e);
        continue;
      }
      out.push_back(c);
    }
    bad = true;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1;
  Token next_;
  bool peeked_ = false;
};

bool IsBegin(const Token& t) { return t.kind == Token::kWord && (t.text == "BEGIN" || t.text == "{"); }
bool IsEndWord(const Token& t) { return t.kind == Token::kWord && (t.text == "END" || t.text == "}"); }

bool ParseNumber(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 0);
  return *end == '\0' && value >= 0 && value <= 0xFFFF;
}

struct Node {
  WORD flags = 0;
  WORD id = 0;
  std::size_t text = 0;  // index into the texts
  std::deque<Node> children;
};

class MenuParser {
 public:
  static constexpr int kMaxDepth = 16;  // far more than any menu bar shows

  MenuParser(Tokens& tokens, std::vector<std::string>& texts) : tokens_(tokens), texts_(texts) {}

  // BEGIN item... END, into `level`.
  bool Block(std::deque<Node>& level, int depth = 0) {
    if (depth > kMaxDepth) return Fail("menus nested too deep");
    if (!IsBegin(tokens_.Take())) return Fail("BEGIN expected");
    for (;;) {
      Token t = tokens_.Take();
      if (t.kind == Token::kEnd) return Fail("END expected");
      if (IsEndWord(t)) break;
      if (t.kind != Token::kWord) return Fail("POPUP or MENUITEM expected");
      Node node;
      if (t.text == "POPUP") {
        if (!Text(node) || !Options(node)) return false;
        node.flags |= MF_POPUP;
        if (!Block(node.children, depth + 1)) return false;
        if (node.children.empty()) return Fail("a pop-up without items");
      } else if (t.text == "MENUITEM") {
        if (tokens_.Peek().kind == Token::kWord && tokens_.Peek().text == "SEPARATOR") {
          tokens_.Take();
          node.flags = MF_SEPARATOR;
          node.text = Store("");
        } else {
          long id = 0;
          if (!Text(node)) return false;
          if (tokens_.Take().kind != Token::kComma) return Fail("a comma and the item's id expected");
          Token number = tokens_.Take();
          if (number.kind != Token::kWord || !ParseNumber(number.text, id)) return Fail("a numeric id expected");
          node.id = static_cast<WORD>(id);
          if (!Options(node)) return false;
        }
      } else {
        return Fail("unknown word " + t.text);
      }
      level.push_back(std::move(node));
    }
    return true;
  }

  std::string error;
  int line = 0;

 private:
  bool Text(Node& node) {
    Token t = tokens_.Take();
    if (t.kind != Token::kString || tokens_.bad) return Fail("a quoted text expected");
    node.text = Store(t.text);
    return true;
  }

  // [, OPTION]... as long as the words are options.
  bool Options(Node& node) {
    while (tokens_.Peek().kind == Token::kComma) {
      tokens_.Take();
      Token o = tokens_.Take();
      if (o.text == "GRAYED")
        node.flags |= MF_GRAYED;
      else if (o.text == "INACTIVE")
        node.flags |= MF_DISABLED;
      else if (o.text == "CHECKED")
        node.flags |= MF_CHECKED;
      else
        return Fail("unknown option " + o.text);
    }
    return true;
  }

  std::size_t Store(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.size() - 1;
  }

  bool Fail(std::string why) {
    error = std::move(why);
    line = tokens_.lastLine;
    return false;
  }

  Tokens& tokens_;
  std::vector<std::string>& texts_;
};

void Flatten(const std::deque<Node>& level, std::vector<MenuTemplateItem>& items,
             const std::vector<std::string>& texts) {
  for (std::size_t i = 0; i < level.size(); ++i) {
    const Node& n = level[i];
    WORD flags = n.flags;
    if (i + 1 == level.size()) flags |= MF_END;
    items.push_back(MenuTemplateItem{flags, n.id, texts[n.text].c_str()});
    if (n.flags & MF_POPUP) Flatten(n.children, items, texts);
  }
}

// Skips a balanced BEGIN/END block.
bool SkipBlock(Tokens& tokens) {
  int depth = 0;
  do {
    Token t = tokens.Take();
    if (t.kind == Token::kEnd) return false;
    if (IsBegin(t)) ++depth;
    if (IsEndWord(t)) --depth;
  } while (depth > 0);
  return true;
}

}  // namespace

bool ReadMenuScript(std::string_view script, WORD id, std::vector<std::string>& texts,
                    std::vector<MenuTemplateItem>& items, std::string* reason) {
  auto fail = [&](const std::string& why, int line) {
    if (reason != nullptr) *reason = "line " + std::to_string(line) + ": " + why;
    return false;
  };
  Tokens tokens(script);
  texts.clear();
  items.clear();
  for (;;) {
    Token first = tokens.Take();
    if (first.kind == Token::kEnd) return fail("no menu " + std::to_string(id), first.line);
    if (IsBegin(first)) {
      // A block whose statement was skipped; skip it too.
      int depth = 1;
      while (depth > 0) {
        Token t = tokens.Take();
        if (t.kind == Token::kEnd) return fail("END expected", t.line);
        if (IsBegin(t)) ++depth;
        if (IsEndWord(t)) --depth;
      }
      continue;
    }
    long number = -1;
    const Token& type = tokens.Peek();
    if (type.line == first.line && type.kind == Token::kWord && type.text == "MENU" && ParseNumber(first.text, number) &&
        number == id) {
      tokens.Take();
      while (tokens.Peek().kind != Token::kEnd && !IsBegin(tokens.Peek()) && tokens.Peek().line == first.line)
        tokens.Take();  // memory options such as DISCARDABLE
      std::deque<Node> top;
      MenuParser parser(tokens, texts);
      if (!parser.Block(top)) return fail(parser.error, parser.line);
      if (top.empty()) return fail("an empty menu", first.line);
      Flatten(top, items, texts);  // texts are complete: the pointers stay valid
      return true;
    }
    // Any other statement: the rest of its line, then its block if one follows.
    while (tokens.Peek().kind != Token::kEnd && tokens.Peek().line == first.line) tokens.Take();
    if (IsBegin(tokens.Peek()) && !SkipBlock(tokens)) return fail("END expected", tokens.Peek().line);
  }
}

bool RegisterMenuScript(std::string_view script, WORD id, std::string* reason) {
  std::vector<std::string> texts;
  std::vector<MenuTemplateItem> items;
  if (!ReadMenuScript(script, id, texts, items, reason)) return false;
  return RegisterMenuResource(id, items.data(), items.size());
}

}  // namespace tarn::win32
