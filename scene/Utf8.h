#pragma once
// UTF-8, the encoding of every string in SceneParams.
// Malformed input never fails: every byte that does not start a well-formed sequence
// (stray continuation bytes, overlong forms, surrogates, values above U+10FFFF, a cut
// sequence) is consumed alone and reads as U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

namespace lumivex {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point at text[pos]; moves pos past it. pos must be below text.size().
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

std::u32string decodeUtf8(std::string_view text);

void appendUtf8(std::string& out, char32_t codePoint);

} // namespace lumivex
