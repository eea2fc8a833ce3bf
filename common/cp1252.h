// The texts of the model and its files are Windows-1252 bytes; formats that want Unicode convert here.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Windows-1252 differs from Latin-1 only in 0x80..0x9F: their Unicode code points. The five bytes
// the code page leaves undefined keep their C1 code points, so every byte survives a round trip.
extern const std::array<char16_t, 32> kCp1252High;

// The code point of one Windows-1252 byte.
char32_t Cp1252CodePoint(unsigned char byte);

// Appends `text` as UTF-8.
void AppendCp1252AsUtf8(std::string& out, std::string_view text);
std::string Utf8FromCp1252(std::string_view text);
