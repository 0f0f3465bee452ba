#include "json_structure.h"

#include <string_view>

#include "base/ascii.h"

namespace velmora {
namespace {

// Deeper documents are refused rather than followed: the scan recurses once per level.
constexpr int kMaxDepth = 64;

struct Cursor {
  const std::string& text;
  std::size_t position = 0;
};

char Peek(const Cursor& cursor) {
  return cursor.position < cursor.text.size() ? cursor.text[cursor.position] : '\0';
}

bool AtEnd(const Cursor& cursor) { return cursor.position >= cursor.text.size(); }

void SkipWhitespace(Cursor& cursor) {
  while (!AtEnd(cursor) && IsJsonWhitespace(Peek(cursor))) ++cursor.position;
}

bool Fail(const Cursor& cursor, const std::string& what, std::string* error) {
  if (error) {
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < cursor.position && i < cursor.text.size(); ++i) {
      if (cursor.text[i] == '\n') {
        ++line;
        lineStart = i + 1;
      }
    }
    *error = what + " at line " + std::to_string(line) + ", column " +
             std::to_string(cursor.position - lineStart + 1);
  }
  return false;
}

// From the opening quote to just after the closing one.
bool ScanString(Cursor& cursor, std::string* error) {
  ++cursor.position;
  while (!AtEnd(cursor)) {
    const char c = Peek(cursor);
    if (c == '"') {
      ++cursor.position;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) {
      return Fail(cursor, "a control character inside a string", error);
    }
    if (c == '\\') {
      ++cursor.position;
      const char escaped = Peek(cursor);
      if (escaped == 'u') {
        for (int i = 0; i < 4; ++i) {
          ++cursor.position;
          if (!IsHexDigit(Peek(cursor))) {
            return Fail(cursor, "a \\u escape without 4 hex digits", error);
          }
        }
      } else if (AtEnd(cursor) || std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
        return Fail(cursor, "an unknown escape sequence", error);
      }
    }
    ++cursor.position;
  }
  return Fail(cursor, "a string that is never closed", error);
}

bool ScanDigits(Cursor& cursor, std::string* error) {
  if (!IsAsciiDigit(Peek(cursor))) return Fail(cursor, "a number without its digits", error);
  while (IsAsciiDigit(Peek(cursor))) ++cursor.position;
  return true;
}

// -? (0 | [1-9][0-9]*) (.[0-9]+)? ([eE][+-]?[0-9]+)?
bool ScanNumber(Cursor& cursor, std::string* error) {
  if (Peek(cursor) == '-') ++cursor.position;
  if (Peek(cursor) == '0') {
    ++cursor.position;
    if (IsAsciiDigit(Peek(cursor))) return Fail(cursor, "a number with a leading zero", error);
  } else if (!ScanDigits(cursor, error)) {
    return false;
  }
  if (Peek(cursor) == '.') {
    ++cursor.position;
    if (!ScanDigits(cursor, error)) return false;
  }
  if (Peek(cursor) == 'e' || Peek(cursor) == 'E') {
    ++cursor.position;
    if (Peek(cursor) == '+' || Peek(cursor) == '-') ++cursor.position;
    if (!ScanDigits(cursor, error)) return false;
  }
  return true;
}

bool ScanValue(Cursor& cursor, int depth, std::vector<std::string>* keys, std::string* error);

// From the opening brace to just after the closing one; keys, when given, receives its keys.
bool ScanObject(Cursor& cursor, int depth, std::vector<std::string>* keys, std::string* error) {
  ++cursor.position;
  SkipWhitespace(cursor);
  if (Peek(cursor) == '}') {
    ++cursor.position;
    return true;
  }
  while (true) {
    SkipWhitespace(cursor);
    if (Peek(cursor) != '"') return Fail(cursor, "expected a key in double quotes", error);
    const std::size_t keyBegin = cursor.position + 1;
    if (!ScanString(cursor, error)) return false;
    if (keys) keys->push_back(cursor.text.substr(keyBegin, cursor.position - 1 - keyBegin));
    SkipWhitespace(cursor);
    if (Peek(cursor) != ':') return Fail(cursor, "expected ':' after the key", error);
    ++cursor.position;
    if (!ScanValue(cursor, depth, nullptr, error)) return false;
    SkipWhitespace(cursor);
    if (Peek(cursor) == '}') {
      ++cursor.position;
      return true;
    }
    if (Peek(cursor) != ',') return Fail(cursor, "expected ',' or '}'", error);
    ++cursor.position;
  }
}

bool ScanArray(Cursor& cursor, int depth, std::string* error) {
  ++cursor.position;
  SkipWhitespace(cursor);
  if (Peek(cursor) == ']') {
    ++cursor.position;
    return true;
  }
  while (true) {
    if (!ScanValue(cursor, depth, nullptr, error)) return false;
    SkipWhitespace(cursor);
    if (Peek(cursor) == ']') {
      ++cursor.position;
      return true;
    }
    if (Peek(cursor) != ',') return Fail(cursor, "expected ',' or ']'", error);
    ++cursor.position;
  }
}

bool ScanValue(Cursor& cursor, int depth, std::vector<std::string>* keys, std::string* error) {
  SkipWhitespace(cursor);
  const char c = Peek(cursor);
  if (c == '{' || c == '[') {
    if (depth >= kMaxDepth) return Fail(cursor, "nesting deeper than 64 levels", error);
    return c == '{' ? ScanObject(cursor, depth + 1, keys, error) : ScanArray(cursor, depth + 1, error);
  }
  if (c == '"') return ScanString(cursor, error);
  if (c == '-' || IsAsciiDigit(c)) return ScanNumber(cursor, error);
  for (const std::string_view literal : {"true", "false", "null"}) {
    if (cursor.text.compare(cursor.position, literal.size(), literal) == 0) {
      cursor.position += literal.size();
      return true;
    }
  }
  return Fail(cursor, AtEnd(cursor) ? "the text ends where a value is expected" : "expected a value", error);
}

}  // namespace

bool ReadTopLevelKeys(const std::string& text, std::vector<std::string>& keys, std::string* error) {
  keys.clear();
  Cursor cursor{text};
  SkipWhitespace(cursor);
  if (Peek(cursor) != '{') return Fail(cursor, "expected the document to be one object", error);
  if (!ScanValue(cursor, 0, &keys, error)) return false;
  SkipWhitespace(cursor);
  if (!AtEnd(cursor)) return Fail(cursor, "text after the object", error);
  return true;
}

}  // namespace velmora
