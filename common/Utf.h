#pragma once
// Text conversions. The program keeps wide (UTF-16) text in the user interface,
// the XML layer and the maps; where it keeps 8-bit text (paths in records, log
// lines, configuration) that text is UTF-8, so no path is ever lost.
#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

// Copies text into a fixed buffer of `capacity` bytes (terminator included).
// The buffer is cleared first. Returns false, leaving the buffer empty, when the
// text does not fit: nothing is ever cut silently.
[[nodiscard]] bool CopyToFixed(std::string_view text, char* buffer, std::size_t capacity) noexcept;

// Upper-cases the letters a to z only, as the exclusion keys need.
std::wstring ToUpperAscii(std::wstring text);
std::string ToUpperAscii(std::string text);
