#include "tools/text.h"

#include <cstdint>
#include <vector>

#include "host/outlook_variant.h"
#include "platform/kernel.h"

namespace replay {

std::string Utf8ToAnsi(const std::string& text) {
  if (text.empty()) return std::string();
  outlook_sim::OleString wide = outlook_sim::Utf8ToOle(text);
  INT size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size));
  INT written = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer.data(),
                                    size, nullptr, nullptr);
  if (written <= 0) return std::string();
  return std::string(buffer.data());
}

std::string Windows1252ToUtf8(const std::string& text) {
  // 0x80..0x9F; a zero marks the five undefined bytes.
  static const uint16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (char ch : text) {
    uint32_t code = static_cast<unsigned char>(ch);
    if (code >= 0x80 && code < 0xA0 && kHigh[code - 0x80] != 0) {
      code = kHigh[code - 0x80];
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

}  // namespace replay
