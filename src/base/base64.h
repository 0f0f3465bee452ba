// Base64 as RFC 4648 writes it (the alphabet with '+' and '/', '=' padding), the form PEM files
// and openssl print. constexpr, so that a profile's keys are held to it while it compiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

constexpr int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Decodes text into out (room for capacity bytes) and returns the number of bytes; kBase64Invalid
// for a length that is not a multiple of 4, a character outside the alphabet, padding anywhere
// but at the end, unused bits that are not zero (a text with only one decoding), or too little room.
constexpr std::size_t kBase64Invalid = static_cast<std::size_t>(-1);

constexpr std::size_t DecodeBase64(std::string_view text, std::uint8_t* out, std::size_t capacity) {
  if (text.size() % 4 != 0) return kBase64Invalid;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
  const std::size_t size = text.size() / 4 * 3 - padding;
  if (size > capacity) return kBase64Invalid;
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const bool padded = i + j >= text.size() - padding;
      const int value = padded ? 0 : Base64Value(text[i + j]);
      if (value < 0) return kBase64Invalid;
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    for (int shift = 16; shift >= 0 && written < size; shift -= 8) {
      out[written++] = static_cast<std::uint8_t>(group >> shift);
    }
    if (i + 4 == text.size() && padding > 0) {
      // The bits the padding leaves over must be zero.
      const std::uint32_t unused = padding == 2 ? (group & 0xFFFF) : (group & 0xFF);
      if (unused != 0) return kBase64Invalid;
    }
  }
  return written;
}

}  // namespace velmora
