#include "processor/MailboxAddress.h"

#include "base/Text.h"
#include "processor/EncodedWords.h"

#include <optional>
#include <vector>

namespace ar {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSpecial(char c) {
  switch (c) {
    case '(': case ')': case '<': case '>': case '[': case ']': case ':': case ';': case '@': case '\\': case ',':
    case '.': case '"':
      return true;
    default:
      return false;
  }
}
bool IsAtomChar(char c) { return !IsSpecial(c) && !IsBlank(c); }

struct Token {
  enum class Kind { Atom, Quoted, Literal, Special } kind;
  std::string text;     // an atom as written, a quoted string's content, a literal with its brackets
  char special = 0;     // the character of a Special
  bool spaced = false;  // a blank, tab or comment stands right before it
  size_t begin = 0, end = 0;  // where it stands in the value
  bool closed = true;         // a quoted string or literal has its closing character
  bool Is(char c) const { return kind == Kind::Special && special == c; }
};

// Reads up to the closing character, a backslash escaping the next one; the position
// after the closing character (or the end of the text when it never closes).
size_t SkipQuoted(std::string_view v, size_t at, char close, std::string* content, bool& closed) {
  while (at < v.size() && v[at] != close) {
    if (v[at] == '\\' && at + 1 < v.size()) ++at;
    if (content) *content += v[at];
    ++at;
  }
  closed = at < v.size();
  return closed ? at + 1 : at;
}

// Comments nest; a counter, not recursion, follows the depth.
size_t SkipComment(std::string_view v, size_t at) {
  size_t depth = 1;
  for (++at; at < v.size() && depth > 0; ++at) {
    if (v[at] == '\\') ++at;
    else if (v[at] == '(') ++depth;
    else if (v[at] == ')') --depth;
  }
  return std::min(at, v.size());
}

std::vector<Token> Tokens(std::string_view v) {
  std::vector<Token> tokens;
  bool spaced = false;
  for (size_t at = 0; at < v.size();) {
    const char c = v[at];
    if (IsBlank(c)) {
      spaced = true;
      ++at;
      continue;
    }
    if (c == '(') {
      spaced = true;
      at = SkipComment(v, at);
      continue;
    }
    Token t{Token::Kind::Special, {}, 0, spaced, at, at};
    if (c == '"') {
      t.kind = Token::Kind::Quoted;
      at = SkipQuoted(v, at + 1, '"', &t.text, t.closed);
    } else if (c == '[') {
      t.kind = Token::Kind::Literal;
      at = SkipQuoted(v, at + 1, ']', nullptr, t.closed);
      t.text = std::string(v.substr(t.begin, at - t.begin));
    } else if (IsSpecial(c)) {
      t.special = c;
      ++at;
    } else {
      t.kind = Token::Kind::Atom;
      while (at < v.size() && IsAtomChar(v[at])) ++at;
      t.text = std::string(v.substr(t.begin, at - t.begin));
    }
    t.end = at;
    tokens.push_back(std::move(t));
    spaced = false;
  }
  return tokens;
}

// Atoms separated by single dots.
bool IsDotAtomText(std::string_view text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.' ? text[i + 1] == '.' : !IsAtomChar(text[i])) return false;
  }
  return true;
}

// A quoted local part as it must be written: bare when it needs no quotes.
std::string LocalWord(const Token& t) {
  if (t.kind == Token::Kind::Atom || IsDotAtomText(t.text)) return t.text;
  std::string quoted = "\"";
  for (char c : t.text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// Reads local part "@" domain from tokens [from, to), every part right after the one
// before it. Sets the local part when that much parses, the address when all of it does.
void ReadAddress(const std::vector<Token>& tokens, size_t from, size_t to, MailboxAddress& out) {
  size_t i = from;
  auto next = [&](auto&& accept) { return i < to && (i == from || !tokens[i].spaced) && accept(tokens[i]); };
  auto isWord = [](const Token& t) {
    return t.kind == Token::Kind::Atom || (t.kind == Token::Kind::Quoted && t.closed);
  };
  auto isAtom = [](const Token& t) { return t.kind == Token::Kind::Atom; };
  auto is = [](char c) { return [c](const Token& t) { return t.Is(c); }; };

  if (!next(isWord)) return;
  std::string local = LocalWord(tokens[i++]);
  while (next(is('.'))) {
    ++i;
    if (!next(isWord)) return;
    local += "." + LocalWord(tokens[i++]);
  }
  if (i == to) {
    out.localPart = local;
    return;
  }
  if (!next(is('@'))) return;
  ++i;
  std::string domain;
  if (next([](const Token& t) { return t.kind == Token::Kind::Literal && t.closed; })) {
    domain = tokens[i++].text;
  } else {
    if (!next(isAtom)) return;
    domain = tokens[i++].text;
    while (next(is('.'))) {
      ++i;
      if (!next(isAtom)) return;
      domain += "." + tokens[i++].text;
    }
  }
  if (i != to) return;
  out.localPart = local;
  out.address = local + "@" + domain;
}

// The display name of tokens [from, to): words as read, a blank wherever blanks or
// comments stood, then its encoded words decoded.
std::string DisplayName(const std::vector<Token>& tokens, size_t from, size_t to) {
  std::string name;
  for (size_t i = from; i < to; ++i) {
    if (i > from && tokens[i].spaced) name += ' ';
    name += tokens[i].kind == Token::Kind::Special ? std::string(1, tokens[i].special) : tokens[i].text;
  }
  return DecodeEncodedWords(name);
}

std::string Between(std::string_view v, size_t from, size_t to) {
  return from < to ? TrimBlanks(v.substr(from, to - from)) : std::string();
}

}  // namespace

MailboxAddress FirstMailbox(std::string_view v) {
  const std::vector<Token> tokens = Tokens(v);
  const size_t n = tokens.size();
  // A first address of words alone ("Smith, Ann <ann@...>" written without quotes) is
  // no mailbox; it is the answer only when nothing better follows.
  std::optional<MailboxAddress> wordsOnly;
  bool inGroup = false;
  for (size_t i = 0; i < n;) {
    const size_t begin = i;
    bool hasAt = false;
    while (i < n && !tokens[i].Is('<') && !tokens[i].Is(',') && !(inGroup && tokens[i].Is(';')) &&
           !(!inGroup && tokens[i].Is(':'))) {
      hasAt = hasAt || tokens[i].Is('@');
      ++i;
    }
    MailboxAddress found;
    if (i < n && tokens[i].Is('<')) {
      const size_t open = i;
      size_t close = open + 1;
      while (close < n && !tokens[close].Is('>')) ++close;
      size_t from = open + 1;
      if (from < close && tokens[from].Is('@')) {  // an obsolete source route: "<@relay:ann@...>"
        while (from < close && !tokens[from].Is(':')) ++from;
        ++from;
      }
      ReadAddress(tokens, std::min(from, close), close, found);
      found.displayName = DisplayName(tokens, begin, open);
      found.text = Between(v, tokens[open].end, close < n ? tokens[close].begin : v.size());
      return found;
    }
    if (i < n && tokens[i].Is(':')) {  // a group's name; its members follow
      inGroup = true;
      ++i;
      continue;
    }
    if (begin < i) {
      ReadAddress(tokens, begin, i, found);
      found.text = Between(v, tokens[begin].begin, tokens[i - 1].end);
      if (hasAt) return found;
      if (!wordsOnly) wordsOnly = std::move(found);
    }
    if (i < n) {
      if (tokens[i].Is(';')) inGroup = false;
      ++i;
    }
  }
  return wordsOnly.value_or(MailboxAddress{});
}

}  // namespace ar
