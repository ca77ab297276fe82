// Text conversions between the scenario's UTF-8, the items' UTF-16 and the
// store's ANSI code page (Windows-1252).
#pragma once

#include <string>

namespace replay {

// UTF-8 to the ANSI code page through the platform's conversion, "?" for a
// character it cannot map.
std::string Utf8ToAnsi(const std::string& text);
// Windows-1252 bytes to UTF-8; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the code points of the same value.
std::string Windows1252ToUtf8(const std::string& text);

}  // namespace replay
