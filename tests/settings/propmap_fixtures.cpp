#include "propmap_fixtures.h"

namespace kvr::testing {

const ClassInfo& TTestFont::StaticClassInfo() {
    static const ClassInfo info = ClassBuilder<TTestFont>("TTestFont", TObject::StaticClassInfo())
                                      .integer("Size", &TTestFont::size_)
                                      .ansi_string("Name", &TTestFont::name_)
                                      .build();
    return info;
}

const ClassInfo& TTestEdit::StaticClassInfo() {
    using E = TTestEdit;
    static const ClassInfo info =
        ClassBuilder<E>("TTestEdit", TComponent::StaticClassInfo())
            .integer("Left", &E::left_)
            .int64("Big", &E::big_)
            .floating("Value", &E::value_)
            .boolean("Checked", &E::checked_)
            .enumeration("Align", {"alNone", "alTop", "alClient"}, &E::align_)
            .set(
                "Options", {"eoA", "eoB"}, [](E& e) { return e.options_; },
                [](E& e, std::uint32_t bits) { e.options_ = bits; })
            .ansi_char("Accel", &E::accel_)
            .wide_char("WideAccel", &E::wide_accel_)
            .short_string("ShortCaption", &E::short_caption_)
            .ansi_string("Caption", &E::caption_)
            .wide_string("Text", &E::text_)
            .variant("Data", &E::data_)
            .object<TStringList>("Items", [](E& e) { return &e.items_; })
            .object<TTestFont>("Font", [](E& e) { return &e.font_; })
            .object<TTestFont>(
                "SpareFont", [](E& e) { return e.spare_font_.get(); },
                [](E& e, TTestFont* f) {
                    if (f != e.spare_font_.get()) e.spare_font_.reset();
                })
            // An object property declared for any class.
            .custom(
                "Attachment", tkClass,
                [](E& e) { return PropValue(static_cast<TObject*>(e.spare_font_.get())); },
                [](E& e, const PropValue& v) {
                    if (v.to_object() != e.spare_font_.get()) e.spare_font_.reset();
                })
            .object<TComponent>(
                "Partner", [](E& e) { return e.partner_.get(); },
                [](E& e, TComponent* c) { e.partner_.reset(c); })
            .object<TComponent>(
                "HostDockSite", [](E& e) { return e.host_dock_site_.get(); },
                [](E& e, TComponent* c) { e.host_dock_site_.reset(c); })
            .custom("OnChange", tkMethod, {}, [](E& e, const PropValue&) { ++e.events_set_; })
            .custom(
                "BoundsRect", tkRecord, [](E&) { return PropValue(1); },
                [](E& e, const PropValue&) { ++e.events_set_; })
            .custom(
                "Handles", tkDynArray, [](E&) { return PropValue(1); },
                [](E& e, const PropValue&) { ++e.events_set_; })
            .build();
    return info;
}

const ClassInfo& TTestCombo::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TTestCombo>("TTestCombo", TComponent::StaticClassInfo())
            .integer("ItemIndex", &TTestCombo::ItemIndex, &TTestCombo::SetItemIndex)
            .build();
    return info;
}

const ClassInfo& TTestForm::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TTestForm>("TTestForm", TComponent::StaticClassInfo())
            .integer("Left", &TTestForm::left_)
            .integer("Width", &TTestForm::width_)
            .object<TTestFont>("Font", [](TTestForm& f) { return &f.font_; })
            .object<TTestFont>("HintFont", [](TTestForm& f) { return f.no_font_; })
            .custom("Broken", tkClass,
                    [](TTestForm&) -> PropValue { throw EConvertError("getter failed"); })
            .build();
    return info;
}

const ClassInfo& TTestSettings::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TTestSettings>("TTestSettings", TProxyCodeCustomObject::StaticClassInfo())
            .integer("Left", &TTestSettings::left_)
            .ansi_string("var1_Text", &TTestSettings::var1_text_)
            .floating("spTimeout_Value", &TTestSettings::timeout_)
            .boolean("var1_Checked", &TTestSettings::checked_)
            .build();
    return info;
}

} // namespace kvr::testing
