// Published property tables: declaration, inheritance, lookup and the conversions that guard
// every write.

#include "component/class_info.h"
#include "component/prop_value_printer.h"
#include "component/component.h"
#include "component/string_list.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {

enum class TAlign { alNone, alTop, alBottom };

class TGadget : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t Width() const { return width_; }
    void SetWidth(std::int32_t width) {
        if (width < 0) throw EConvertError("negative width");
        width_ = width;
    }

    std::int32_t width_ = 10;
    std::int64_t big_ = 0;
    double ratio_ = 0.0;
    float version_ = 4.0f;
    bool visible_ = true;
    TAlign align_ = TAlign::alNone;
    std::uint32_t options_ = 0;
    char accel_ = 'a';
    char16_t wide_accel_ = u'b';
    std::string caption_;
    std::u16string hint_;
    PropValue data_;
    TStringList lines_;
    TComponentRef<TComponent> buddy_;
};

class TFancyGadget : public TGadget {
    KVR_REFLECTED_CLASS()

  public:
    std::string style_ = "flat";
};

const ClassInfo& TGadget::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TGadget>("TGadget", TComponent::StaticClassInfo())
            .integer("Width", &TGadget::Width, &TGadget::SetWidth)
            .int64("Big", &TGadget::big_)
            .floating("Ratio", &TGadget::ratio_)
            .single("Version", &TGadget::version_)
            .boolean("Visible", &TGadget::visible_)
            .enumeration("Align", {"alNone", "alTop", "alBottom"}, &TGadget::align_)
            .set(
                "Options", {"goA", "goB", "goC"}, [](TGadget& g) { return g.options_; },
                [](TGadget& g, std::uint32_t bits) { g.options_ = bits; })
            .ansi_char("Accel", &TGadget::accel_)
            .wide_char("WideAccel", &TGadget::wide_accel_)
            .ansi_string("Caption", &TGadget::caption_)
            .wide_string("Hint", &TGadget::hint_)
            .variant("Data", &TGadget::data_)
            .object<TStringList>("Lines", [](TGadget& g) { return &g.lines_; })
            .object<TComponent>(
                "Buddy", [](TGadget& g) { return g.buddy_.get(); },
                [](TGadget& g, TComponent* c) { g.buddy_.reset(c); })
            .integer("ReadOnly", [](TGadget&) { return 7; })
            .build();
    return info;
}

const ClassInfo& TFancyGadget::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TFancyGadget>("TFancyGadget", TGadget::StaticClassInfo())
            .ansi_string("Style", &TFancyGadget::style_)
            .short_string("Caption", [](TFancyGadget& g) { return "[" + g.caption_ + "]"; })
            .build();
    return info;
}

std::vector<std::string> names_of(const ClassInfo& info) {
    std::vector<std::string> names;
    for (const PropInfo& p : info.properties())
        names.push_back(p.name);
    return names;
}

} // namespace

TEST(ClassInfo, DerivedTableListsInheritedPropertiesFirstAndReplacesRedeclaredOnesInPlace) {
    const auto base = names_of(TGadget::StaticClassInfo());
    const auto derived = names_of(TFancyGadget::StaticClassInfo());
    ASSERT_EQ(base.size() + 1, derived.size());
    EXPECT_EQ("Name", derived[0]);
    EXPECT_EQ("Tag", derived[1]);
    EXPECT_EQ(std::vector<std::string>(derived.begin(), derived.end() - 1), base);
    EXPECT_EQ("Style", derived.back());

    // The redeclared Caption is read-only and of another kind in the derived class only.
    const PropInfo* caption = TFancyGadget::StaticClassInfo().find_property("caption");
    ASSERT_NE(nullptr, caption);
    EXPECT_EQ(tkString, caption->kind);
    EXPECT_FALSE(caption->writable());
    EXPECT_EQ(tkLString, TGadget::StaticClassInfo().find_property("Caption")->kind);
}

TEST(ClassInfo, ClassNameAndInheritanceFollowTheDynamicClassIgnoringAsciiCase) {
    TFancyGadget fancy;
    TComponent& as_component = fancy;
    EXPECT_EQ("TFancyGadget", as_component.ClassName());
    EXPECT_TRUE(as_component.InheritsFrom("tgadget"));
    EXPECT_TRUE(as_component.InheritsFrom("TCOMPONENT"));
    EXPECT_TRUE(as_component.InheritsFrom("TObject"));
    EXPECT_FALSE(as_component.InheritsFrom("TStringList"));
    EXPECT_FALSE(TGadget().InheritsFrom("TFancyGadget"));
    EXPECT_TRUE(fancy.class_info().inherits_from(TGadget::StaticClassInfo()));
}

TEST(ClassInfo, ClassDeclaringOnePropertyTwiceIsRejected) {
    auto build_twice = [] {
        return ClassBuilder<TGadget>("TBroken", TComponent::StaticClassInfo())
            .integer("Size", &TGadget::width_)
            .integer("SIZE", &TGadget::width_)
            .build();
    };
    EXPECT_THROW(build_twice(), EAssertionFailed);
}

TEST(PropertyTable, EveryTypedKindReadsItsNaturalValue) {
    TGadget g;
    g.big_ = 1LL << 40;
    g.options_ = 0b101;
    g.align_ = TAlign::alBottom;
    g.hint_ = u"h\u00e9";
    EXPECT_EQ(PropValue(10), GetPropValue(g, "width"));
    EXPECT_EQ(PropValue(std::int64_t{1} << 40), GetPropValue(g, "Big"));
    EXPECT_EQ(PropValue(4.0), GetPropValue(g, "Version"));
    EXPECT_EQ(PropValue(true), GetPropValue(g, "Visible"));
    EXPECT_EQ(PropValue(EnumOrdinal{2}), GetPropValue(g, "Align"));
    EXPECT_EQ(PropValue(SetBits{0b101}), GetPropValue(g, "Options"));
    EXPECT_EQ(PropValue(97), GetPropValue(g, "Accel"));
    EXPECT_EQ(PropValue(98), GetPropValue(g, "WideAccel"));
    EXPECT_EQ(PropValue(u"h\u00e9"), GetPropValue(g, "Hint"));
    EXPECT_EQ(PropValue(static_cast<TObject*>(&g.lines_)), GetPropValue(g, "Lines"));
    EXPECT_EQ(tkSet, FindPropInfo(g, "Options")->kind);
    EXPECT_EQ(std::vector<std::string>({"False", "True"}),
              FindPropInfo(g, "Visible")->element_names);
}

TEST(PropertyTable, WritesConvertToThePropertyType) {
    TGadget g;
    SetPropValue(g, "Width", "25");
    SetPropValue(g, "Ratio", "2.5");
    SetPropValue(g, "Visible", "false");
    SetPropValue(g, "Align", "ALTOP");
    SetPropValue(g, "Accel", "65");
    SetPropValue(g, "WideAccel", 0x263A);
    SetPropValue(g, "Caption", u"caf\u00e9");
    SetPropValue(g, "Hint", "caf\xe9");
    SetPropValue(g, "Options", 3);
    SetPropValue(g, "Data", PropValue::Null());
    EXPECT_EQ(25, g.width_);
    EXPECT_EQ(2.5, g.ratio_);
    EXPECT_FALSE(g.visible_);
    EXPECT_EQ(TAlign::alTop, g.align_);
    EXPECT_EQ('A', g.accel_);
    EXPECT_EQ(u'\u263A', g.wide_accel_);
    EXPECT_EQ("caf\xe9", g.caption_);
    EXPECT_EQ(u"caf\u00e9", g.hint_);
    EXPECT_EQ(3u, g.options_);
    EXPECT_TRUE(g.data_.is_null());
}

TEST(PropertyTable, ValuesOutsideThePropertyRangeAreRefusedAndLeaveItUnchanged) {
    TGadget g;
    EXPECT_THROW(SetPropValue(g, "Width", std::int64_t{1} << 31), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Width", "wide"), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Width", PropValue::Null()), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Width", -1), EConvertError); // the setter's own check
    EXPECT_EQ(10, g.width_);
    EXPECT_THROW(SetPropValue(g, "Visible", "yes"), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Align", 3), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Align", -1), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Options", 8), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Accel", 256), EConvertError);
    EXPECT_THROW(SetPropValue(g, "WideAccel", 0x10000), EConvertError);
    EXPECT_THROW(SetPropValue(g, "Version", 1e300), EConvertError);
    EXPECT_TRUE(g.visible_);
    EXPECT_EQ(TAlign::alNone, g.align_);
    EXPECT_EQ(0u, g.options_);
    EXPECT_EQ('a', g.accel_);
    EXPECT_EQ(4.0f, g.version_);
}

TEST(PropertyTable, ObjectPropertiesAcceptOnlyObjectsOfTheirClass) {
    TGadget g;
    TComponent other;
    TStringList list;
    SetPropValue(g, "Buddy", static_cast<TObject*>(&other));
    EXPECT_EQ(&other, g.buddy_.get());
    EXPECT_THROW(SetPropValue(g, "Buddy", static_cast<TObject*>(&list)), EConvertError);
    EXPECT_EQ(&other, g.buddy_.get());
    SetPropValue(g, "Buddy", PropValue::Null());
    EXPECT_EQ(nullptr, g.buddy_.get());
    EXPECT_EQ(&TStringList::StaticClassInfo(), FindPropInfo(g, "Lines")->object_class);
}

TEST(PropertyTable, MissingReadOnlyAndForeignPropertiesFailAsPropertyErrors) {
    TGadget g;
    TStringList list;
    EXPECT_THROW(GetPropValue(g, "Height"), EPropertyError);
    EXPECT_THROW(SetPropValue(g, "ReadOnly", 1), EPropertyError);
    EXPECT_EQ(PropValue(7), GetPropValue(g, "ReadOnly"));
    // A property taken from one class's table and used on an unrelated object.
    const PropInfo* width = FindPropInfo(g, "Width");
    EXPECT_THROW(width->read(list), EPropertyError);
}

TEST(EnumOrdinalOf, MatchesNamesIgnoringAsciiCaseOnly) {
    const std::vector<std::string> names{"False", "True", "\xc4rger"};
    EXPECT_EQ(1, EnumOrdinalOf(PropValue("tRUE"), names));
    EXPECT_EQ(2, EnumOrdinalOf(PropValue("\xc4RGER"), names));
    EXPECT_THROW(EnumOrdinalOf(PropValue("\xe4rger"), names), EConvertError);
    EXPECT_THROW(EnumOrdinalOf(PropValue(""), names), EConvertError);
    EXPECT_EQ(1, EnumOrdinalOf(PropValue(EnumOrdinal{1}), names));
}
