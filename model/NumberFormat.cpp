// Locale-proof number conversion: std::to_chars / std::from_chars never look at the
// C or C++ locale, so a comma-decimal desktop cannot change what a program says.
#include "model/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "model/Text.h"

namespace veltrane {

namespace {

constexpr int c_nDecimals = 4;          // decimals written for every coordinate
constexpr int c_nSignificantDigits = 15;  // what a double holds reliably

// Fixed notation with nDecimals decimals; returns the text.
std::string FixedText(double f, int nDecimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::fixed, nDecimals);
  return std::string(buf, r.ptr);
}

size_t IntegerDigits(const std::string& s) {
  size_t n = 0;
  for (char c : s) {
    if (c == '.') break;
    if (c >= '0' && c <= '9') ++n;
  }
  return n;
}

// A value with more integer digits than a double holds exactly: every such double is a
// whole number, so write it out in full, without decimals or exponent, which reads back
// as the same value (rounding it to 15 digits could step past the largest double).
std::string LargeText(double f) { return FixedText(f, 0); }

// Below this magnitude four decimals never exceed the significant digits (rounding can
// make 10 integer digits 11: 15 digits in all), so the text is written in one go.
constexpr double c_fQuickLimit = 1e10;

// |f| (below the quick limit) in ten-thousandths, rounded as fixed notation rounds: the
// exact binary value, halves to even. |f| is m * 2^e exactly (m of 53 bits), and 10^4 is
// 625 * 2^4, so the product m * 625 fits 63 bits and only a shift is left, whose
// remainder decides the rounding.
uint64_t TenThousandths(double f) {
  uint64_t nBits = 0;
  std::memcpy(&nBits, &f, sizeof nBits);
  const int nBiased = static_cast<int>(nBits >> 52 & 0x7FF);
  uint64_t m = nBits & ((uint64_t{1} << 52) - 1);
  if (nBiased != 0) m |= uint64_t{1} << 52;
  const uint64_t p = m * 625;
  const int nExp = (nBiased != 0 ? nBiased : 1) - 1075 + 4;
  if (nExp >= 0) return p << nExp;  // a whole number of ten-thousandths, below 10^14
  const int s = -nExp;
  if (s >= 64) return 0;  // below half a ten-thousandth
  const uint64_t q = p >> s, rem = p & ((uint64_t{1} << s) - 1), half = uint64_t{1} << (s - 1);
  return q + (rem > half || (rem == half && (q & 1) != 0) ? 1 : 0);
}

// Four decimals, trailing zeros and separator removed, "-0" as "0", into buf; the end.
// Written from the whole number of ten-thousandths: the same text as fixed notation with
// four decimals, trimmed, in a tenth of its time.
char* QuickText(double f, char* buf) {
  const uint64_t n = TenThousandths(f);
  char* p = buf;
  if (n != 0 && std::signbit(f)) *p++ = '-';
  uint64_t whole = n / 10000;
  uint32_t frac = static_cast<uint32_t>(n % 10000);
  char digits[20];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (k > 0) *p++ = digits[--k];
  if (frac != 0) {
    *p++ = '.';
    for (uint32_t d = 1000; frac != 0; d /= 10) {
      *p++ = static_cast<char>('0' + frac / d);
      frac %= d;
    }
  }
  return p;
}

}  // namespace

void AppendNumber(std::string& s, double fNumber) {
  if (std::fabs(fNumber) < c_fQuickLimit) {
    char buf[32];
    s.append(buf, QuickText(fNumber, buf));
    return;
  }
  s += StringFromDouble(fNumber);
}

std::string StringFromDouble(double fNumber) {
  if (std::fabs(fNumber) < c_fQuickLimit) {
    char buf[32];
    return std::string(buf, QuickText(fNumber, buf));
  }
  if (std::isnan(fNumber)) return "nan";
  if (std::isinf(fNumber)) return fNumber > 0 ? "inf" : "-inf";
  std::string s;
  if (std::fabs(fNumber) >= 1e15) {
    s = LargeText(fNumber);
  } else {
    // Four decimals unless that would exceed 15 significant digits; rounding can add an
    // integer digit (99999999999.99999 -> 100000000000.0000), hence the loop.
    int nDecimals = c_nDecimals;
    s = FixedText(fNumber, nDecimals);
    while (nDecimals > 0 &&
           static_cast<int>(IntegerDigits(s)) + nDecimals > c_nSignificantDigits) {
      --nDecimals;
      s = FixedText(fNumber, nDecimals);
    }
    if (s.find('.') != std::string::npos) {
      while (!s.empty() && s.back() == '0') s.pop_back();
      if (!s.empty() && s.back() == '.') s.pop_back();
    }
  }
  if (s == "-0") s = "0";
  return s;
}

namespace {

// The common form of a number in a drawing, [-]digits[.digits]: with at most 19 digits,
// their whole number m below 2^53 and at most 22 decimals, m and 10^decimals are both
// exact doubles, and their quotient, rounded once, is the correctly rounded value that
// from_chars gives. False for any other form (read the general way).
bool QuickDecimal(std::string_view s, double& f) {
  static constexpr double c_fPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  size_t i = 0;
  const bool bMinus = s[0] == '-';
  if (bMinus) i = 1;
  uint64_t m = 0;
  int nDigits = 0;
  // The digits from i on into m; how many there were (none, or past 19 in all: false).
  auto digits = [&](size_t& nCount) {
    const size_t nFrom = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      if (++nDigits > 19) return false;
      m = m * 10 + static_cast<uint64_t>(s[i] - '0');
    }
    nCount = i - nFrom;
    return nCount > 0;
  };
  size_t nWhole = 0, nDecimals = 0;
  if (!digits(nWhole)) return false;
  if (i < s.size()) {
    if (s[i] != '.') return false;
    ++i;
    if (!digits(nDecimals) || i != s.size()) return false;
  }
  if (m > (uint64_t{1} << 53) || nDecimals > 22) return false;
  f = static_cast<double>(m) / c_fPowers[nDecimals];
  if (bMinus) f = -f;
  return true;
}

}  // namespace

bool TryStrToFloat(std::string_view s, double& fValue) {
  s = TrimView(s);
  if (s.empty()) return false;
  if (QuickDecimal(s, fValue)) return true;
  // from_chars takes no leading '+'; a sign followed by another sign is garbage.
  if (s[0] == '+') {
    s.remove_prefix(1);
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  }
  const char* first = s.data();
  const char* last = s.data() + s.size();
  double f = 0.0;
  auto r = std::from_chars(first, last, f, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last) return false;
  if (!std::isfinite(f)) return false;  // nan and inf are never coordinates
  fValue = f;
  return true;
}

bool IsNumberOutOfRange(std::string_view s) {
  s = TrimView(s);
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  double f = 0.0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), f, std::chars_format::general);
  return r.ec == std::errc::result_out_of_range && r.ptr == s.data() + s.size();
}

double StrToFloat(std::string_view s) {
  double f = 0.0;
  if (!TryStrToFloat(s, f))
    throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
  return f;
}

bool TryStrToInt(std::string_view s, int32_t& nValue) {
  s = TrimView(s);
  if (s.empty()) return false;
  if (s[0] == '+') {
    s.remove_prefix(1);
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  }
  const char* last = s.data() + s.size();
  int32_t n = 0;
  auto r = std::from_chars(s.data(), last, n, 10);
  if (r.ec != std::errc() || r.ptr != last) return false;
  nValue = n;
  return true;
}

int32_t StrToInt(std::string_view s) {
  int32_t n = 0;
  if (!TryStrToInt(s, n))
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
  return n;
}

int32_t StrToIntDef(std::string_view s, int32_t nDefault) {
  int32_t n = 0;
  return TryStrToInt(s, n) ? n : nDefault;
}

}  // namespace veltrane
