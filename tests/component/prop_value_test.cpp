// Conversions of property values and of numbers spelled as text.

#include "component/prop_value.h"
#include "component/prop_value_printer.h"
#include "component/text_platform.h"
#include "component/text_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kvr;

namespace {

// Text services with a comma as decimal separator, as in many European locales.
class CommaDecimalsPlatform final : public TextPlatform {
  public:
    std::u16string ansi_to_wide(std::string_view t) const override { return base.ansi_to_wide(t); }
    std::string wide_to_ansi(std::u16string_view t) const override { return base.wide_to_ansi(t); }
    std::string ansi_upper(std::string_view t) const override { return base.ansi_upper(t); }
    std::string ansi_lower(std::string_view t) const override { return base.ansi_lower(t); }
    int ansi_compare(std::string_view a, std::string_view b, bool cs) const override {
        return base.ansi_compare(a, b, cs);
    }
    char decimal_separator() const override { return ','; }

  private:
    Windows1252TextPlatform base;
};

struct InstalledPlatform {
    explicit InstalledPlatform(const TextPlatform& platform) { install_text_platform(&platform); }
    ~InstalledPlatform() { install_text_platform(nullptr); }
};

} // namespace

TEST(PropValue, DoublesRoundHalfToEvenIntoIntegers) {
    EXPECT_EQ(2, PropValue(2.5).to_int32());
    EXPECT_EQ(4, PropValue(3.5).to_int32());
    EXPECT_EQ(-2, PropValue(-2.5).to_int32());
    EXPECT_EQ(13, PropValue("12.7").to_int32());
    EXPECT_THROW(PropValue(2147483647.6).to_int32(), EConvertError);
    EXPECT_THROW(PropValue(std::nan("")).to_int32(), EConvertError);
    EXPECT_EQ(std::int64_t{5000000000}, PropValue(5e9).to_int64());
}

TEST(PropValue, IntegersOutsideTheTargetRangeAreRefused) {
    EXPECT_EQ(-2147483647 - 1, PropValue(std::int64_t{-2147483648LL}).to_int32());
    EXPECT_THROW(PropValue(std::int64_t{2147483648LL}).to_int32(), EConvertError);
    EXPECT_THROW(PropValue("2147483648").to_int32(), EConvertError);
    EXPECT_EQ(std::numeric_limits<std::int64_t>::min(),
              PropValue("-9223372036854775808").to_int64());
    EXPECT_THROW(PropValue(-1).to_set_bits(), EConvertError);
}

TEST(PropValue, NullAndObjectsHaveNoNumberOrText) {
    TObject* none = nullptr;
    EXPECT_THROW(PropValue::Null().to_int32(), EConvertError);
    EXPECT_THROW(PropValue(none).to_text(), EConvertError);
    EXPECT_EQ("", PropValue::Null().to_text());
    EXPECT_EQ(0, PropValue().to_int32());
    EXPECT_EQ(nullptr, PropValue::Null().to_object());
    EXPECT_THROW(PropValue(1).to_object(), EConvertError);
}

TEST(PropValue, TextOfValuesFollowsTheNumberFormatInForce) {
    EXPECT_EQ("True", PropValue(true).to_text());
    EXPECT_EQ("-7", PropValue(-7).to_text());
    EXPECT_EQ("1.5", PropValue(1.5).to_text());
    CommaDecimalsPlatform comma;
    InstalledPlatform installed(comma);
    EXPECT_EQ("1,5", PropValue(1.5).to_text());
    EXPECT_EQ(1.5, PropValue("1,5").to_double());
    EXPECT_EQ(1.5, PropValue("1.5").to_double());
    EXPECT_EQ(2, PropValue("1,5").to_int32());
}

TEST(PropValue, BooleansFromTextAcceptNamesAndNumbersOnly) {
    EXPECT_TRUE(PropValue("TRUE").to_bool());
    EXPECT_FALSE(PropValue("false").to_bool());
    EXPECT_TRUE(PropValue("-1").to_bool());
    EXPECT_FALSE(PropValue("0").to_bool());
    EXPECT_THROW(PropValue("yes").to_bool(), EConvertError);
    EXPECT_THROW(PropValue("").to_bool(), EConvertError);
}

TEST(PropValue, WideTextCrossesTheAnsiCodePage) {
    EXPECT_EQ("\x80 caf\xe9", PropValue(u"\u20ac caf\u00e9").to_text());
    EXPECT_EQ(u"\u20ac caf\u00e9", PropValue("\x80 caf\xe9").to_wide_text());
    EXPECT_EQ("?", PropValue(u"\u4e2d").to_text());
}

TEST(NumberText, IntegersParseLikeTheRuntimeDoes) {
    EXPECT_EQ(42, text::parse_int32("  42"));
    EXPECT_EQ(-16, text::parse_int32("-$10"));
    EXPECT_EQ(255, text::parse_int32("0xFF"));
    EXPECT_EQ(2147483647, text::parse_int32("2147483647"));
    EXPECT_EQ(-2147483647 - 1, text::parse_int32("-2147483648"));
    EXPECT_EQ(std::nullopt, text::parse_int32("2147483648"));
    EXPECT_EQ(std::nullopt, text::parse_int32("42 "));
    EXPECT_EQ(std::nullopt, text::parse_int32(""));
    EXPECT_EQ(std::nullopt, text::parse_int32("-"));
    EXPECT_EQ(std::nullopt, text::parse_int32("$"));
    EXPECT_EQ(std::nullopt, text::parse_int32("1e3"));
}

TEST(NumberText, FloatsParseWithEitherSeparatorButNotSpecialSpellings) {
    EXPECT_EQ(1500.0, text::parse_float(" 1.5e3 "));
    EXPECT_EQ(-0.25, text::parse_float("-.25"));
    EXPECT_EQ(std::nullopt, text::parse_float("inf"));
    EXPECT_EQ(std::nullopt, text::parse_float("nan"));
    EXPECT_EQ(std::nullopt, text::parse_float("1.5x"));
    EXPECT_EQ(std::nullopt, text::parse_float("1e999"));
    EXPECT_EQ(std::nullopt, text::parse_float(""));
}

TEST(NumberText, FloatsFormatInGeneralFormWithFifteenDigits) {
    EXPECT_EQ("0", text::format_float(0.0));
    EXPECT_EQ("0.3", text::format_float(0.1 + 0.2));
    EXPECT_EQ("1500.9", text::format_float(1500.9));
    EXPECT_EQ("0.0001", text::format_float(0.0001));
    EXPECT_EQ("1.5E-5", text::format_float(0.000015));
    EXPECT_EQ("123456789012345", text::format_float(123456789012345.0));
    EXPECT_EQ("1E15", text::format_float(1e15));
    EXPECT_EQ("-1.25E100", text::format_float(-1.25e100));
    EXPECT_EQ("INF", text::format_float(std::numeric_limits<double>::infinity()));
    EXPECT_EQ("NAN", text::format_float(std::nan("")));
}
