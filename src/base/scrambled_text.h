// Texts that must not appear in the built program as plain bytes. The profile's plain text is
// only ever seen by the compiler: Scramble is consteval, so what lands in the binary is two
// blocks whose exclusive-or is the text, padded with NUL to a whole number of 16-byte blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

template <std::size_t N>
struct ScrambledText {
  std::array<std::uint8_t, N> masked{};
  std::array<std::uint8_t, N> mask{};
};

constexpr std::size_t ScrambledSize(std::string_view plain) {
  return plain.empty() ? 16 : (plain.size() + 15) / 16 * 16;
}

// A fixed mixing function of the text and position; no mask byte is ever 0, so no byte of the
// text survives unchanged in the masked block.
template <std::size_t N>
consteval ScrambledText<N> Scramble(std::string_view plain) {
  ScrambledText<N> out;
  std::uint32_t state = 2166136261u;
  for (char c : plain) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  for (std::size_t i = 0; i < N; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    std::uint8_t m = static_cast<std::uint8_t>(state >> 11);
    if (m == 0) m = 0x5A;
    const std::uint8_t p = i < plain.size() ? static_cast<std::uint8_t>(plain[i]) : 0;
    out.masked[i] = static_cast<std::uint8_t>(p ^ m);
    out.mask[i] = m;
  }
  return out;
}

template <std::size_t N>
std::string Unscramble(const ScrambledText<N>& blocks) {
  std::string text;
  for (std::size_t i = 0; i < N; ++i) {
    const char c = static_cast<char>(blocks.masked[i] ^ blocks.mask[i]);
    if (c == '\0') break;
    text.push_back(c);
  }
  return text;
}

}  // namespace velmora

// Expands to the blocks of a compile-time text; the text itself is not emitted.
#define VELMORA_SCRAMBLE(text)                                                                \
  ([] {                                                                                       \
    static constexpr auto blocks = ::velmora::Scramble<::velmora::ScrambledSize(text)>(text); \
    return &blocks;                                                                           \
  }())
