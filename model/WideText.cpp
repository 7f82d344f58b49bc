// UTF-16 and UTF-32 programs to and from UTF-8.
#include "model/WideText.h"

#include "model/Text.h"

#include <cstdint>

namespace veltrane {

namespace {

size_t UnitSize(EWideForm f) { return f == EWideForm::eUtf32LE || f == EWideForm::eUtf32BE ? 4 : 2; }
bool BigEndian(EWideForm f) { return f == EWideForm::eUtf16BE || f == EWideForm::eUtf32BE; }

uint32_t Unit(std::string_view b, size_t i, size_t n, bool bBig) {
  uint32_t u = 0;
  for (size_t k = 0; k < n; ++k) {
    const uint32_t byte = static_cast<unsigned char>(b[i + (bBig ? k : n - 1 - k)]);
    u = (u << 8) | byte;
  }
  return u;
}

void PutUnit(std::string& out, uint32_t u, size_t n, bool bBig) {
  for (size_t k = 0; k < n; ++k) {
    const size_t nShift = 8 * (bBig ? n - 1 - k : k);
    out += static_cast<char>((u >> nShift) & 0xFF);
  }
}

// The next character of UTF-8 text; a byte that starts no character is taken as Latin-1.
uint32_t NextUtf8(std::string_view s, size_t& i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n > 1 && i + n <= s.size()) {
    uint32_t v = c & (0x7F >> n);
    bool bOk = true;
    for (size_t k = 1; k < n; ++k) {
      bOk = bOk && (b(i + k) & 0xC0) == 0x80;
      v = (v << 6) | (b(i + k) & 0x3F);
    }
    if (bOk) {
      i += n;
      return v;
    }
  }
  ++i;
  return c;
}

}  // namespace

std::string TWideText::Name() const {
  switch (evForm) {
    case EWideForm::eNone: return "";
    case EWideForm::eUtf16LE: return "UTF-16LE";
    case EWideForm::eUtf16BE: return "UTF-16BE";
    case EWideForm::eUtf32LE: return "UTF-32LE";
    case EWideForm::eUtf32BE: return "UTF-32BE";
  }
  return "";
}

TWideText RecogniseWideText(std::string_view b) {
  const auto at = [&](size_t i) { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0x100u; };
  const auto zero = [&](size_t i) { return at(i) == 0; };
  TWideText t;
  if (at(0) == 0xFF && at(1) == 0xFE && zero(2) && zero(3)) return {EWideForm::eUtf32LE, true};
  if (zero(0) && zero(1) && at(2) == 0xFE && at(3) == 0xFF) return {EWideForm::eUtf32BE, true};
  if (at(0) == 0xFF && at(1) == 0xFE) return {EWideForm::eUtf16LE, true};
  if (at(0) == 0xFE && at(1) == 0xFF) return {EWideForm::eUtf16BE, true};
  if (b.size() < 4) return t;
  // An ASCII character in each of the first code units.
  if (!zero(0) && zero(1) && zero(2) && zero(3) && b.size() >= 8 && !zero(4) && zero(5) && zero(6) && zero(7))
    return {EWideForm::eUtf32LE, false};
  if (zero(0) && zero(1) && zero(2) && !zero(3)) return {EWideForm::eUtf32BE, false};
  if (!zero(0) && zero(1) && !zero(2) && zero(3)) return {EWideForm::eUtf16LE, false};
  if (zero(0) && !zero(1) && zero(2) && !zero(3)) return {EWideForm::eUtf16BE, false};
  return t;
}

std::string WideToUtf8(std::string_view b, const TWideText& F) {
  if (!F.Wide()) return std::string(b);
  const size_t n = UnitSize(F.evForm);
  const bool bBig = BigEndian(F.evForm);
  std::string out;
  out.reserve(b.size() / n + 16);
  size_t i = F.bByteOrderMark ? n : 0;
  for (; i + n <= b.size(); i += n) {
    uint32_t u = Unit(b, i, n, bBig);
    if (n == 2 && u >= 0xD800 && u <= 0xDBFF && i + 2 * n <= b.size()) {
      const uint32_t lo = Unit(b, i + n, n, bBig);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += n;
      }
    }
    AppendUtf8(out, u);
  }
  if (i < b.size()) AppendUtf8(out, 0xFFFD);  // a cut unit at the end
  return out;
}

std::string Utf8ToWide(std::string_view s, const TWideText& F) {
  if (!F.Wide()) return std::string(s);
  const size_t n = UnitSize(F.evForm);
  const bool bBig = BigEndian(F.evForm);
  std::string out;
  out.reserve(s.size() * n + n);
  if (F.bByteOrderMark) PutUnit(out, 0xFEFF, n, bBig);
  for (size_t i = 0; i < s.size();) {
    const uint32_t c = NextUtf8(s, i);
    if (n == 2 && c >= 0x10000) {
      PutUnit(out, 0xD800 + ((c - 0x10000) >> 10), n, bBig);
      PutUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), n, bBig);
    } else {
      PutUnit(out, c, n, bBig);
    }
  }
  return out;
}

}  // namespace veltrane
