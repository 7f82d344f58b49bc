// The number format: writing with four decimals, reading back, and the locale.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "model/NumberFormat.h"

using namespace veltrane;

TEST(StringFromDouble, Examples) {
  struct Case {
    double f;
    const char* s;
  } cases[] = {
      {12.5, "12.5"},    {100, "100"},       {0.00004, "0"},        {-2.12346, "-2.1235"},
      {3, "3"},          {3.10, "3.1"},      {10.00004, "10"},      {2.99996, "3"},
      {-0.0, "0"},       {-0.00004, "0"},    {-0.00005001, "-0.0001"}, {0.5, "0.5"},
      {-10, "-10"},      {1234567.89012, "1234567.8901"},
      {123456789012.34567, "123456789012.346"},  // 15 significant digits at most
      {99999999999.99999, "100000000000"},
      {1e15, "1000000000000000"}, {-1.2345678901234567e20, "-123456789012345667584"},
      {1e-300, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(StringFromDouble(c.f), c.s) << c.f;
}

TEST(StringFromDouble, HugeValuesAreWrittenInFullAndReadBack) {
  for (double f : {1e15, 123456789012345678.0, 1e300, -1.7976931348623157e308}) {
    std::string s = StringFromDouble(f);
    EXPECT_EQ(s.find_first_of("e."), std::string::npos) << s;
    EXPECT_EQ(StrToFloat(s), f) << s;
  }
}

TEST(StringFromDouble, NonFiniteIsVisible) {
  EXPECT_EQ(StringFromDouble(std::nan("")), "nan");
  EXPECT_EQ(StringFromDouble(-HUGE_VAL), "-inf");
  double f = 0;
  EXPECT_FALSE(TryStrToFloat(StringFromDouble(HUGE_VAL), f));  // and never reads back
}

TEST(StringFromDouble, RoundTripsWithinHalfAUnitOfTheLastDigit) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mag(-6, 9);
  for (int i = 0; i < 20000; ++i) {
    double f = std::pow(10.0, mag(rng)) * ((rng() & 1) ? -1 : 1);
    std::string s = StringFromDouble(f);
    double back = StrToFloat(s);
    EXPECT_LE(std::fabs(back - f), 0.00005 + std::fabs(f) * 1e-14) << s;
    EXPECT_EQ(StringFromDouble(back), s);  // writing is idempotent
    EXPECT_NE(s, "-0");
  }
}

TEST(Conversion, AcceptsAndRejects) {
  struct Ok {
    const char* s;
    double f;
  } oks[] = {{"1.5", 1.5},   {"  -2.25 ", -2.25}, {"+3", 3},     {"1e3", 1000},
             {"1.5E-2", 0.015}, {".5", 0.5},     {"5.", 5},     {"\t7\r", 7},
             {"-0", 0},      {"1.7976931348623157e308", 1.7976931348623157e308}};
  for (const auto& o : oks) {
    double f = -1;
    EXPECT_TRUE(TryStrToFloat(o.s, f)) << o.s;
    EXPECT_DOUBLE_EQ(f, o.f) << o.s;
  }
  const char* bad[] = {"", "   ", "abc", "1.5x", "1,5", "nan", "NaN", "inf", "-infinity",
                       "1e400", "-1e999", "0x10", "+-1", "++1", "1 2", "--1", "."};
  for (const char* b : bad) {
    double f = 42;
    EXPECT_FALSE(TryStrToFloat(b, f)) << b;
    EXPECT_EQ(f, 42) << b;
    EXPECT_THROW(StrToFloat(b), EConvertError) << b;
    // Numbers beyond the range of doubles are told apart from text that is no number.
    const std::string t(b);
    EXPECT_EQ(IsNumberOutOfRange(b), t == "1e400" || t == "-1e999") << b;
  }
  for (const auto& o : oks) EXPECT_FALSE(IsNumberOutOfRange(o.s)) << o.s;
  EXPECT_TRUE(IsNumberOutOfRange(" 2e308 "));
  try {
    StrToFloat("x1");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid floating point value");
  }
}

// Reading gives what from_chars gives, for numbers of every form a drawing may hold:
// short and long, signs, leading zeros, no decimals or many, exponents, a digit too many.
TEST(Conversion, ReadsWhatFromCharsReads) {
  std::mt19937_64 rng(20261210);
  auto digits = [&](int n) {
    std::string d;
    for (int k = 0; k < n; ++k) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  for (int i = 0; i < 200000; ++i) {
    std::string s = (rng() % 3 == 0) ? "-" : "";
    s += digits(1 + static_cast<int>(rng() % (i % 4 == 0 ? 24 : 10)));
    if (rng() % 5 != 0) {
      s += '.';
      s += digits(static_cast<int>(rng() % (i % 4 == 1 ? 26 : 9)));
    }
    if (rng() % 50 == 0) {
      s += 'e';
      s += std::to_string(static_cast<int>(rng() % 40) - 20);
    }
    double expected = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), expected, std::chars_format::general);
    const bool bValid = r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(expected);
    double f = 0.0;
    ASSERT_EQ(TryStrToFloat(s, f), bValid) << s;
    if (bValid) {
      ASSERT_EQ(std::memcmp(&f, &expected, sizeof f), 0) << s << " " << f << " " << expected;
    }
  }
}

TEST(Conversion, Integers) {
  for (const auto& [s, n] : {std::pair{" 12 ", 12}, {"-7", -7}, {"+7", 7}, {"2147483647", 2147483647}})
    EXPECT_EQ(StrToInt(s), n) << s;
  for (const char* s : {"2147483648", "1.0", ""}) EXPECT_THROW(StrToInt(s), EConvertError) << s;
  EXPECT_EQ(StrToIntDef("x", -3), -3);
}

// The number format must not follow a comma-decimal desktop. CI generates de_DE.UTF-8;
// elsewhere the test is skipped when no such locale is installed.
TEST(Conversion, IgnoresCommaDecimalLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE", "German_Germany.1252"};
  const char* got = nullptr;
  for (const char* n : names)
    if ((got = std::setlocale(LC_ALL, n))) break;
  if (!got) {
    if (std::getenv("CI")) FAIL() << "no comma-decimal locale installed on the CI machine";
    GTEST_SKIP() << "no comma-decimal locale installed";
  }
#ifndef _WIN32  // the C++ library there knows no locale by name but "C"; the C library's is set
  std::locale::global(std::locale(got));
#endif
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  EXPECT_STREQ(buf, "1,5") << "the locale did not take effect";
  EXPECT_EQ(StringFromDouble(-2.12346), "-2.1235");
  EXPECT_EQ(StringFromDouble(1234.5), "1234.5");
  EXPECT_DOUBLE_EQ(StrToFloat("12.75"), 12.75);
  double f = 0;
  EXPECT_FALSE(TryStrToFloat("12,75", f));
  std::setlocale(LC_ALL, "C");
  std::locale::global(std::locale::classic());
}

namespace {

// The number format as its rule says, plainly: four decimals, fewer while the digits would
// exceed fifteen, trailing zeros and separator removed, "-0" as "0".
std::string PlainNumberText(double f) {
  char buf[400];
  int nDecimals = 4;
  std::string s;
  for (;;) {
    s.assign(buf, std::to_chars(buf, buf + sizeof buf, f, std::chars_format::fixed, nDecimals).ptr);
    int nDigits = 0;
    for (char c : s) {
      if (c == '.') break;
      nDigits += c >= '0' && c <= '9';
    }
    if (nDecimals == 0 || nDigits + nDecimals <= 15) break;
    --nDecimals;
  }
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

}  // namespace

// Appending writes exactly the text StringFromDouble returns, on both sides of the
// magnitude where four decimals are written in one go, and after what is there; both
// as the plain rule writes it.
TEST(AppendNumber, AppendsWhatStringFromDoubleReturns) {
  const double values[] = {0.0,          -0.0,          0.00004,      -0.00004,     -0.00005001,  2.99996,
                           12.5,         -2.12346,      9999999999.9999, 9999999999.99996, 1e10,  -1e10,
                           10000000000.00004, 123456789012.34567, 1e15, -1.2345678901234567e20, 1e-300};
  for (double f : values) {
    std::string s = "x=";
    AppendNumber(s, f);
    EXPECT_EQ(s, "x=" + StringFromDouble(f)) << f;
    if (std::fabs(f) < 1e15) {
      EXPECT_EQ(StringFromDouble(f), PlainNumberText(f)) << f;
    }
  }
  // Random magnitudes; halves of the last decimal that are exact in binary (k / 2^j: a
  // tie goes to the even digit) and the doubles either side of them; numbers as a drawing
  // writes them (six decimals), where the fourth decimal is rounded.
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-6, 14), twos(5, 30);
  std::uniform_int_distribution<int64_t> whole(-99999999, 99999999);
  const std::function<double()> kinds[] = {
      [&] { return mantissa(rng) * std::pow(10.0, exponent(rng)); },
      [&] { return std::ldexp(static_cast<double>(whole(rng)), -twos(rng)); },
      [&] {
        const double f = std::ldexp(static_cast<double>(whole(rng)), -twos(rng));
        return std::nextafter(f, (rng() & 1) ? 1e300 : -1e300);
      },
      [&] { return static_cast<double>(whole(rng)) * 1e-6; },
      [&] { return (static_cast<double>(whole(rng) / 100) + 0.5) * 1e-4; },
  };
  for (const auto& next : kinds)
    for (int i = 0; i < 40000; ++i) {
      const double f = next();
      std::string s;
      AppendNumber(s, f);
      ASSERT_EQ(s, StringFromDouble(f)) << f;
      ASSERT_EQ(s, PlainNumberText(f)) << f;
    }
}
