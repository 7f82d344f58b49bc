// The one number format of the system: coordinates are written in fixed point with at
// most four decimals and read back with "." as the separator, whatever the locale.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrane {

// Raised when text does not convert to a number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Program lines never hold a number of this size or more: fixed point could not write it
// within fifteen significant digits.
inline constexpr double gc_fMaxWrittenNumber = 1e15;

// Fixed point, four decimals, at most 15 significant digits, trailing zeros and a
// trailing separator removed; a value that rounds to zero is "0", never "-0".
std::string StringFromDouble(double fNumber);
// The same text appended to s (no string of its own for the common case).
void AppendNumber(std::string& s, double fNumber);

// Text to double: surrounding blanks allowed, "." separator, optional sign and exponent.
// Empty text, trailing garbage, nan, inf and values beyond the double range fail.
bool TryStrToFloat(std::string_view s, double& fValue);
double StrToFloat(std::string_view s);  // throws EConvertError
// Text that is written as a number but lies beyond what a double holds (2e308, 1e-400).
bool IsNumberOutOfRange(std::string_view s);

// Text to 32-bit integer: surrounding blanks, optional sign, decimal digits.
bool TryStrToInt(std::string_view s, int32_t& nValue);
int32_t StrToInt(std::string_view s);  // throws EConvertError
int32_t StrToIntDef(std::string_view s, int32_t nDefault);

}  // namespace veltrane
