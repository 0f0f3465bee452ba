// Character tests and case folding for ASCII text: manifests, URLs, hosts, digests and file
// names that must match whatever the user's locale. Only A-Z fold; a locale's own case rules
// must never make some other text match.
#pragma once

namespace velmora {

template <typename Char>
constexpr Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// Only the hexadecimal letters A-F fold: digests are compared in lower case, and any other
// letter stays as it is so that the text still fails as a digest.
constexpr char LowerHexLetter(char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; }

[[nodiscard]] constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

[[nodiscard]] constexpr bool IsLowerHexDigit(char c) { return IsAsciiDigit(c) || (c >= 'a' && c <= 'f'); }

[[nodiscard]] constexpr bool IsHexDigit(char c) { return IsLowerHexDigit(LowerAscii(c)); }

// The white space a JSON document may have between its tokens.
[[nodiscard]] constexpr bool IsJsonWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace velmora
