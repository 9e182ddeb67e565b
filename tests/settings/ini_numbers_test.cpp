#include "settings/ini_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kvr::ini;

TEST(IniNumbers, IntegersInDecimalAndEveryHexadecimalForm) {
    EXPECT_EQ(31, parse_ini_integer("0x1F"));
    EXPECT_EQ(31, parse_ini_integer("0X1f"));
    EXPECT_EQ(31, parse_ini_integer("$1F"));
    EXPECT_EQ(31, parse_ini_integer("x1f"));
    EXPECT_EQ(-31, parse_ini_integer("-$1F"));
    EXPECT_EQ(-31, parse_ini_integer("-0x1F"));
    EXPECT_EQ(31, parse_ini_integer("+X1F"));
    EXPECT_EQ(-12, parse_ini_integer("-12"));
    EXPECT_EQ(7, parse_ini_integer("+007"));
    EXPECT_EQ(0, parse_ini_integer("0"));
}

TEST(IniNumbers, IntegersOutside32BitsOrWithJunkDoNotConvert) {
    EXPECT_EQ(2147483647, parse_ini_integer("2147483647"));
    EXPECT_EQ(std::numeric_limits<std::int32_t>::min(), parse_ini_integer("-2147483648"));
    EXPECT_EQ(std::nullopt, parse_ini_integer("2147483648"));
    EXPECT_EQ(std::nullopt, parse_ini_integer("-2147483649"));
    EXPECT_EQ(std::nullopt, parse_ini_integer("99999999999999999999999"));
    EXPECT_EQ(-1, parse_ini_integer("$FFFFFFFF"));
    EXPECT_EQ(std::nullopt, parse_ini_integer("$100000000"));
    for (const char* junk :
         {"", "-", "+", "$", "0x", "x", "12abc", "1 2", "0x-5", "--1", "1.0", "$G", "-0x", " 1"})
        EXPECT_EQ(std::nullopt, parse_ini_integer(junk)) << '"' << junk << '"';
}

TEST(IniNumbers, FloatsAcceptCommaOrPointUnderEitherSeparator) {
    for (char separator : {'.', ','}) {
        EXPECT_EQ(1.5, parse_ini_float("1,5", separator)) << separator;
        EXPECT_EQ(1.5, parse_ini_float("1.5", separator)) << separator;
        EXPECT_EQ(-0.25, parse_ini_float("-.25", separator)) << separator;
        EXPECT_EQ(2.0, parse_ini_float("+2.", separator)) << separator;
        EXPECT_EQ(1.5e-3, parse_ini_float("1.5E-3", separator)) << separator;
        EXPECT_EQ(300.0, parse_ini_float("3e2", separator)) << separator;
        EXPECT_EQ(1000.0, parse_ini_float("1000", separator)) << separator;
    }
}

TEST(IniNumbers, MalformedOrOutOfRangeFloatsDoNotConvert) {
    for (const char* junk : {"", "abc", ".", "-", "1.2.3", "1,2.3", "1e", "1e+", "e5", "1.5x",
                             "0x10", "inf", "nan", "1e999", " 1"})
        EXPECT_EQ(std::nullopt, parse_ini_float(junk, '.')) << '"' << junk << '"';
    EXPECT_EQ(std::nullopt, parse_ini_float("1.000,5", ','));
}

TEST(IniNumbers, FloatsFormatWith15SignificantDigitsInGeneralForm) {
    EXPECT_EQ("1.5", format_ini_float(1.5, '.'));
    EXPECT_EQ("1,5", format_ini_float(1.5, ','));
    EXPECT_EQ("-0.1", format_ini_float(-0.1, '.'));
    EXPECT_EQ("0.3", format_ini_float(0.1 + 0.2, '.'));
    EXPECT_EQ("3.14159265358979", format_ini_float(3.14159265358979323846, '.'));
    EXPECT_EQ("0", format_ini_float(0.0, '.'));
    EXPECT_EQ("0.0001", format_ini_float(0.0001, '.'));
    EXPECT_EQ("1E-5", format_ini_float(0.00001, '.'));
    EXPECT_EQ("1,5E-7", format_ini_float(1.5e-7, ','));
    EXPECT_EQ("100000000000000", format_ini_float(1e14, '.'));
    EXPECT_EQ("1E15", format_ini_float(1e15, '.'));
    EXPECT_EQ("1.79769313486232E308", format_ini_float(std::numeric_limits<double>::max(), '.'));
    EXPECT_EQ("INF", format_ini_float(std::numeric_limits<double>::infinity(), '.'));
    EXPECT_EQ("NAN", format_ini_float(std::nan(""), '.'));
}

TEST(IniNumbers, FormattedFloatsReadBackWithin15Digits) {
    for (double value : {1.0 / 3.0, -123456.789, 6.02214076e23, 5e-324, 299792458.0}) {
        for (char separator : {'.', ','}) {
            const auto back = parse_ini_float(format_ini_float(value, separator), separator);
            ASSERT_TRUE(back.has_value()) << value;
            EXPECT_NEAR(value, *back, std::abs(value) * 1e-14) << value;
        }
    }
}
