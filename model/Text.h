// Byte-string helpers shared by the whole core: trimming, ASCII case mapping and
// case-insensitive comparison, as the program text is single-byte text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane {

// Removes every character with a code of 32 or less from both ends.
std::string_view TrimView(std::string_view s);
inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }
std::string_view TrimLeftView(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameText(std::string_view a, std::string_view b);
// True when s begins with prefix, ignoring letter case.
bool StartsWithText(std::string_view s, std::string_view prefix);

// A line quoted in a message: whole up to c_nQuotedLength bytes, longer ones cut there
// (never inside a UTF-8 character) with how long they are, so that a message stays a
// message whatever the line.
inline constexpr size_t c_nQuotedLength = 200;
std::string QuotedLine(std::string_view s);

// Appends a character as UTF-8; one that is no character (a surrogate, beyond U+10FFFF)
// as U+FFFD.
void AppendUtf8(std::string& out, uint32_t c);

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool IsValidUtf8(std::string_view s);

}  // namespace veltrane
