// The text encoding of a drawing.
#include "dxf/DXFEncoding.h"

#include <cstdint>

#include "model/Text.h"

namespace veltrane {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string DXFTextEncoding(std::string_view strAcadVer, std::string_view strCodePage) {
  const std::string v = UpperCase(TrimView(strAcadVer));
  // AC1021 (2007) and later write UTF-8 whatever the code page says.
  if (v.size() == 6 && v.compare(0, 2, "AC") == 0 && v >= "AC1021") return "UTF-8";
  const std::string cp = UpperCase(TrimView(strCodePage));
  static constexpr std::pair<const char*, const char*> c_Pages[] = {
      {"ANSI_936", "GBK"},          {"ANSI_950", "Big5"},          {"ANSI_932", "Shift_JIS"},
      {"ANSI_949", "windows-949"},  {"ANSI_874", "windows-874"},   {"ANSI_1250", "windows-1250"},
      {"ANSI_1251", "windows-1251"}, {"ANSI_1252", "windows-1252"}, {"ANSI_1253", "windows-1253"},
      {"ANSI_1254", "windows-1254"}, {"ANSI_1255", "windows-1255"}, {"ANSI_1256", "windows-1256"},
      {"ANSI_1257", "windows-1257"}, {"ANSI_1258", "windows-1258"}, {"DOS936", "GBK"},
      {"GB2312", "GBK"},            {"BIG5", "Big5"},
  };
  for (const auto& [page, name] : c_Pages)
    if (cp == page) return name;
  return "windows-1252";
}

std::string DXFUnescapeUnicode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 6 < s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') && s[i + 2] == '+') {
      uint32_t c = 0;
      bool bHex = true;
      for (size_t k = 3; k < 7; ++k) {
        const int d = HexDigit(s[i + k]);
        if (d < 0) {
          bHex = false;
          break;
        }
        c = c * 16 + static_cast<uint32_t>(d);
      }
      if (bHex && !(c >= 0xD800 && c <= 0xDFFF)) {
        AppendUtf8(out, c);
        i += 6;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace veltrane
