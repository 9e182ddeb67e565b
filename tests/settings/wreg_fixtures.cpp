#include "wreg_fixtures.h"

#include "common/errors.h"
#include "settings/ini_file_lock.h"
#include "settings/wreg.h"

namespace kvr::testing {

const ClassInfo& TStoreCombo::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TStoreCombo>("TStoreCombo", TComponent::StaticClassInfo())
            .ansi_string("Text", &TStoreCombo::text_)
            .integer("ItemIndex", &TStoreCombo::ItemIndex, &TStoreCombo::SetItemIndex)
            .build();
    return info;
}

const ClassInfo& TStoreEdit::StaticClassInfo() {
    using E = TStoreEdit;
    static const ClassInfo info =
        ClassBuilder<E>("TStoreEdit", TComponent::StaticClassInfo())
            .floating("Value", &E::value_)
            .boolean("Checked", &E::checked_)
            .integer("Left", &E::left_)
            .single("Small", &E::small_)
            .ansi_string(
                "Fragile", [](E& e) { return e.fragile_; },
                [](E&, const std::string&) { throw EPropertyError("Fragile refuses values"); })
            .object<TComponent>(
                "Partner", [](E& e) { return e.partner_.get(); },
                [](E& e, TComponent* c) { e.partner_.reset(c); })
            .build();
    return info;
}

const ClassInfo& TStoreForm::StaticClassInfo() {
    using F = TStoreForm;
    static const ClassInfo info = ClassBuilder<F>("TStoreForm", TComponent::StaticClassInfo())
                                      .integer("Left", &F::left_)
                                      .integer("Top", &F::top_)
                                      .integer("Height", &F::height_)
                                      .integer("Width", &F::width_)
                                      .build();
    return info;
}

TStoreForm::TStoreForm() {
    CreateComponent<TStoreCombo>().SetName("var1");
    CreateComponent<TStoreCombo>().SetName("var2");
    CreateComponent<TStoreEdit>().SetName("spTimeout");
    CreateComponent<TStoreEdit>().SetName("chkNoReset");
}

TStoreCombo& TStoreForm::var1() const {
    return dynamic_cast<TStoreCombo&>(*FindComponent("var1"));
}
TStoreCombo& TStoreForm::var2() const {
    return dynamic_cast<TStoreCombo&>(*FindComponent("var2"));
}
TStoreEdit& TStoreForm::spTimeout() const {
    return dynamic_cast<TStoreEdit&>(*FindComponent("spTimeout"));
}
TStoreEdit& TStoreForm::chkNoReset() const {
    return dynamic_cast<TStoreEdit&>(*FindComponent("chkNoReset"));
}

const ClassInfo& TStoreSettings::StaticClassInfo() {
    using S = TStoreSettings;
    static const ClassInfo info =
        ClassBuilder<S>("TStoreSettings", TProxyCodeCustomObject::StaticClassInfo())
            .integer("Left", &S::left_)
            .integer("Top", &S::top_)
            .integer("Height", &S::height_)
            .integer("Width", &S::width_)
            .ansi_string("var1_Text", &S::var1_text_)
            .ansi_string("var2_Text", &S::var2_text_)
            .floating("spTimeout_Value", &S::timeout_)
            .boolean("chkNoReset_Checked", &S::no_reset_)
            .build();
    return info;
}

TStringList StoreMap() {
    TStringList map;
    for (const char* line :
         {"", "Left,Left", "Top,Top", "Height,Height", "Width,Width", ";---short---",
          "var1.Text,Var1", "var2.Text,Var2", "spTimeout.Value,Timeout",
          "chkNoReset.Checked,No reset", "var1.*ItemIndex,Var1 index"})
        map.Add(line);
    return map;
}

void FillDistinctValues(TStoreForm& form) {
    form.left_ = -20;
    form.top_ = 40;
    form.height_ = 500;
    form.width_ = 640;
    form.var1().text_ = "  speed 50%+";
    form.var1().index_ = 2;
    form.var2().text_ = "line\r\nbreak";
    form.spTimeout().value_ = 1.5;
    form.chkNoReset().checked_ = true;
}

void FillDistinctValues(TStoreSettings& settings) {
    settings.left_ = -20;
    settings.top_ = 40;
    settings.height_ = 500;
    settings.width_ = 640;
    settings.var1_text_ = "  speed 50%+";
    settings.var2_text_ = "line\r\nbreak";
    settings.timeout_ = 1.5;
    settings.no_reset_ = true;
}

TStringList counting_map() {
    TStringList map;
    for (const char* line : {"Left,Stats\\Saves", "var1.Text,Var1", "var2.Text,Var2",
                             "spTimeout.Value,Timeout", "chkNoReset.Checked,No reset"})
        map.Add(line);
    return map;
}

int save_repeatedly(const std::string& path, const ValueSet& set, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        const IniFileLock lock(path); // the store takes it again inside: it is recursive
        TWreg wreg;
        wreg.INIFile = path;
        wreg.Components = counting_map();
        TStoreSettings settings;
        settings.left_ = 0;
        wreg.Load(&settings); // false until the file exists, as no registry value is stored
        ++settings.left_;
        settings.var1_text_ = set.var1;
        settings.var2_text_ = set.var2;
        settings.timeout_ = set.timeout;
        settings.no_reset_ = set.no_reset;
        if (!wreg.Save(&settings)) return 2;
    }
    return 0;
}

bool holds_set(const TBigIniFile& ini, const ValueSet& set) {
    std::vector<std::string> names;
    ini.ReadSection("Common", names);
    return names == std::vector<std::string>{"Var1", "Var2", "Timeout", "No reset"} &&
           ini.ReadString("Common", "Var1", "") == set.var1 &&
           ini.ReadString("Common", "Var2", "") == set.var2 &&
           ini.ReadFloat("Common", "Timeout", 0.0) == set.timeout &&
           ini.ReadString("Common", "No reset", "") == (set.no_reset ? "True" : "False");
}

} // namespace kvr::testing
