// Drawing texts as UTF-8.
#include "cli/TextConvert.h"

#include <algorithm>
#include <vector>

#include "dxf/DXFEncoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace veltrane {

namespace {

#ifdef _WIN32
unsigned CodePage(const std::string& e) {
  if (e == "GBK") return 936;
  if (e == "Big5") return 950;
  if (e == "Shift_JIS") return 932;
  if (e == "windows-949") return 949;
  if (e.rfind("windows-", 0) == 0) return static_cast<unsigned>(std::stoul(e.substr(8)));
  return 1252;
}
#endif

bool Convert(const std::string& s, const std::string& strEncoding, std::string& out) {
#ifdef _WIN32
  const unsigned cp = CodePage(strEncoding);
  const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), w.data(), n);
  const int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return false;
  out.assign(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, out.data(), m, nullptr, nullptr);
  return true;
#else
  iconv_t cd = iconv_open("UTF-8", strEncoding == "windows-949" ? "CP949" : strEncoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> in(s.begin(), s.end()), buf(s.size() * 4 + 4);
  char* pIn = in.data();
  char* pOut = buf.data();
  size_t nIn = in.size(), nOut = buf.size();
  const size_t r = iconv(cd, &pIn, &nIn, &pOut, &nOut);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return false;
  out.assign(buf.data(), buf.size() - nOut);
  return true;
#endif
}

}  // namespace

std::string DrawingTextToUtf8(const std::string& s, const std::string& strEncoding) {
  std::string utf8;
  const bool bAscii = std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (strEncoding == "UTF-8" || bAscii) {
    utf8 = s;
  } else if (!Convert(s, strEncoding, utf8)) {
    return s;
  }
  return DXFUnescapeUnicode(utf8);
}

}  // namespace veltrane
