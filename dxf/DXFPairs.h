// Reading group-code / value pairs: the code line is an integer (99999 when it is not),
// the value line follows it.
#pragma once

#include <cstdint>
#include <string_view>

#include "dxf/DXFLines.h"
#include "dxf/DXFRecords.h"
#include "model/NumberFormat.h"

namespace veltrane {

inline int32_t GroupCode(std::string_view s) {
  // The common form, a few plain digits, read here; anything else as any whole number.
  if (!s.empty() && s.size() <= 4) {
    int32_t n = 0;
    size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) n = n * 10 + (s[i] - '0');
    if (i == s.size()) return n;
  }
  int32_t n = 0;
  return TryStrToInt(s, n) ? n : c_nCodeErrorValue;
}

// Calls onPair(code, value, valueLine) for every pair up to the next code 0, which is
// consumed (the element name after it is not). False when the file ended first.
template <class F>
bool ForEachPair(TDXFLines& L, F onPair) {
  std::string_view line;
  while (L.Next(line)) {
    int32_t nCode = GroupCode(line);
    if (nCode == 0) return true;
    if (!L.Next(line)) return false;
    onPair(nCode, line, L.LineNumber());
  }
  return false;
}

}  // namespace veltrane
