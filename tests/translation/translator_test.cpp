// The translator on real forms of the toolkit: the tables kept per pair of languages and freed
// by the unload timer, the look-up forms, the marks that steer the walk, collection mode and
// language files that are broken in one way or another.

#include "translation/translator.h"

#include "translation/translator_customs.h"

#include "temp_dir.h"
#include "ui/buttons.h"
#include "ui/combo_box.h"
#include "ui/containers.h"
#include "ui/edit.h"
#include "ui/form.h"
#include "ui/static_controls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace kvr;

namespace {

class TTestForm : public ui::TForm {
    KVR_REFLECTED_CLASS()
};

const ClassInfo& TTestForm::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TTestForm>("TTestForm", ui::TForm::StaticClassInfo()).build();
    return info;
}

template <class T> T& add(TComponent& owner, ui::TWinControl& parent, const char* name) {
    T& control = owner.CreateComponent<T>();
    control.SetName(name);
    control.SetParent(&parent);
    return control;
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of the given entries (English, German), each block followed by its empty line.
std::string language_file(std::initializer_list<std::pair<const char*, const char*>> entries,
                          const std::string& head = "Encoding=utf-8\r\n") {
    std::string text = head + "\r\n";
    for (const auto& [english, german] : entries)
        text += std::string("EN:>") + english + "\r\nDE:>" + german + "\r\n\r\n";
    return text;
}

class Translator : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterStandardCustomTranslators(); // as the library does when it starts
        form.SetName("frmTest");
        label = &add<ui::TLabel>(form, form, "lblSave");
        label->SetCaption(u"&Save");
    }
    // Translates the form from EN into DE with a fresh file.
    bool translate(const std::string& file_text, TWtransl& translator) {
        write_file(file, file_text);
        translator.SetLanguageFile(file);
        return translator.Translate("DE", form, "EN");
    }

    test::TempDir folder;
    const std::string file = folder.file("app.lng");
    TTestForm form;
    ui::TLabel* label = nullptr;
};

} // namespace

TEST_F(Translator, TablesServeOnePairUntilTheUnloadTimerFreesThem) {
    TWtransl translator;
    int before = 0, after = 0;
    translator.OnBeforeTranslate = [&](TWtransl&, TWtranslLanguagesList*) { ++before; };
    translator.OnAfterTranslate = [&](TWtransl&, TWtranslLanguagesList*) { ++after; };

    // A target without entries: false, nothing touched, only the first event.
    write_file(file, language_file({{"Save", "Speichern"}}));
    translator.SetLanguageFile(file);
    EXPECT_FALSE(translator.Translate("FR", form, "EN"));
    EXPECT_EQ(u"&Save", label->Caption());
    EXPECT_EQ(1, before);
    EXPECT_EQ(0, after);
    EXPECT_FALSE(translator.UnloadTimer().Enabled());

    EXPECT_TRUE(translator.Translate("DE", form, "EN"));
    EXPECT_EQ(u"Speichern", label->Caption());
    EXPECT_EQ(1, after);
    EXPECT_TRUE(translator.UnloadTimer().Enabled());
    EXPECT_EQ(TWtransl::kUnloadIntervalMs, translator.UnloadTimer().Interval());

    // The same pair again reuses the tables: a changed file is not read.
    write_file(file, language_file({{"Save", "Sichern"}}));
    label->SetCaption(u"Save");
    EXPECT_TRUE(translator.Translate("DE", form, "EN"));
    EXPECT_EQ(u"Speichern", label->Caption());

    // The timer's message frees the tables; the next call reads the file again.
    SendMessageA(translator.UnloadTimer().Window(), WM_TIMER, 1, 0);
    EXPECT_FALSE(translator.TablesLoaded());
    EXPECT_FALSE(translator.UnloadTimer().Enabled());
    label->SetCaption(u"Save");
    EXPECT_TRUE(translator.Translate("DE", form, "EN"));
    EXPECT_EQ(u"Sichern", label->Caption());
}

TEST_F(Translator, LookUpFormsAdjustMarkersAndControlCharacters) {
    auto& two_lines = add<ui::TLabel>(form, form, "lblTwoLines");
    two_lines.SetCaption(u"  First line\r\nsecond line ");
    auto& percent = add<ui::TLabel>(form, form, "lblPercent");
    percent.SetCaption(u"Load 100%0D");
    auto& plain = add<ui::TLabel>(form, form, "lblPlain");
    plain.SetCaption(u"Open");
    auto& lower = add<ui::TLabel>(form, form, "lblLower");
    lower.SetCaption(u"close WINDOW");
    TWtransl translator;
    ASSERT_TRUE(translate(language_file({{"Save", "&Speichern"},
                                         {"First line%0D%0Asecond line", "Erste%0D%0Azweite"},
                                         {"Load 100%0D", "Last 100%0D"},
                                         {"Open", "Ö&ffnen"},
                                         {"Close window", "Fenster schließen"}}),
                          translator));
    // "&Save" is found without its marker and shows the translation's own marker.
    EXPECT_EQ(u"&Speichern", label->Caption());
    // The source has a line break: %0D%0A becomes one; the blanks around it go.
    EXPECT_EQ(u"Erste\r\nzweite", two_lines.Caption());
    // No control character in the source: every "%" stays.
    EXPECT_EQ(u"Last 100%0D", percent.Caption());
    // No marker in the source: the translation's marker goes; UTF-8 decoded.
    EXPECT_EQ(u"\u00d6ffnen", plain.Caption());
    // Only the lower-case table knows this one.
    EXPECT_EQ(u"Fenster schlie\u00dfen", lower.Caption());
}

TEST_F(Translator, MarksSteerTheWalkOverOwnedComponents) {
    auto& masked = add<ui::TButton>(form, form, "btnMasked"); // Tag 10002: no caption
    masked.SetCaption(u"Save");
    masked.SetHint(u"Open");
    masked.SetTag(10002);
    auto& edit = add<ui::TEdit>(form, form, "edtTyped");
    edit.SetText(u"Save");
    auto& combo = add<ui::TComboBox>(form, form, "cbChoice");
    combo.SetItems({u"Open", u"Save"});
    combo.SetItemIndex(1);
    combo.SetText(u"Save");
    auto& skipped = add<ui::TButton>(form, form, "btnSkipped");
    skipped.SetCaption(u"Save");
    skipped.SetTag(TWtransl::kTagNotTranslated);
    auto& help_skipped = add<ui::TButton>(form, form, "btnHelpSkipped");
    help_skipped.SetCaption(u"Save");
    help_skipped.SetHelpContext(-1);
    // "_": translated itself, not what it owns; "__": neither.
    auto& shallow = add<ui::TPanel>(form, form, "_pnlShallow");
    shallow.SetHint(u"Save");
    auto& shallow_child = add<ui::TButton>(shallow, shallow, "btnInShallow");
    shallow_child.SetCaption(u"Save");
    auto& hidden = add<ui::TPanel>(form, form, "__pnlHidden");
    hidden.SetHint(u"Save");
    auto& hidden_child = add<ui::TButton>(hidden, hidden, "btnInHidden");
    hidden_child.SetCaption(u"Save");
    // 9998: its own texts stay, what it owns is translated.
    auto& owner_only = add<ui::TPanel>(form, form, "pnlOwnerOnly");
    owner_only.SetHint(u"Save");
    owner_only.SetTag(TWtransl::kTagOwnedOnly);
    auto& owned = add<ui::TButton>(owner_only, owner_only, "btnOwned");
    owned.SetCaption(u"Save");

    TWtransl translator;
    ASSERT_TRUE(translate(language_file({{"Save", "Speichern"},
                                         {"Open", "\xc3\x96"
                                                  "ffnen"}}),
                          translator));
    EXPECT_EQ(u"Save", masked.Caption());
    EXPECT_EQ(u"\u00d6ffnen", masked.Hint());
    EXPECT_EQ(u"Save", edit.Text());
    EXPECT_EQ(u"Speichern", combo.Text());
    EXPECT_EQ(1, combo.ItemIndex());
    EXPECT_EQ((std::vector<std::u16string>{u"\u00d6ffnen", u"Speichern"}), combo.Items());
    EXPECT_EQ(u"Save", skipped.Caption());
    EXPECT_EQ(u"Save", help_skipped.Caption());
    EXPECT_EQ(u"Speichern", shallow.Hint());
    EXPECT_EQ(u"Save", shallow_child.Caption());
    EXPECT_EQ(u"Save", hidden.Hint());
    EXPECT_EQ(u"Save", hidden_child.Caption());
    EXPECT_EQ(u"Save", owner_only.Hint());
    EXPECT_EQ(u"Speichern", owned.Caption());
}

TEST_F(Translator, CollectionModeChangesNothingAndWritesEachUntranslatedTextOnceSorted) {
    add<ui::TButton>(form, form, "btnOpen").SetCaption(u"Open");
    add<ui::TButton>(form, form, "btnOpenToo").SetCaption(u"Open");
    add<ui::TLabel>(form, form, "lblTwo").SetCaption(u"Line\r\nbreak");
    add<ui::TLabel>(form, form, "lblNumber").SetCaption(u"12:30"); // no letter: not collected
    const std::string file_text = "//saveuntr\r\n" + language_file({{"Save", "Speichern"}});
    const std::string header =
        "[Languages]\r\n$EN = #1\r\n$DE = #2 (Default)\r\nDefault = DE\r\n\r\n";
    {
        TWtransl translator;
        EXPECT_TRUE(translate(file_text, translator));
        EXPECT_EQ(u"&Save", label->Caption()); // translated in the file, but not replaced
    }
    EXPECT_EQ(header + "EN:>Line%0D%0Abreak\r\nDE:>\r\n\r\nEN:>Open\r\nDE:>\r\n\r\n\r\n",
              read_file(file + ".new"));

    // A second run numbers its file; with //fileappend a third adds to the first, no header.
    {
        TWtransl translator;
        translate(file_text, translator);
    }
    EXPECT_TRUE(std::filesystem::exists(file + ".1.new"));
    {
        TWtransl translator;
        translate("//saveuntr\r\n//fileappend\r\n" + language_file({{"Save", "Speichern"}}),
                  translator);
    }
    const std::string appended = read_file(file + ".new");
    EXPECT_EQ(0u, appended.find(header));
    EXPECT_EQ(std::string::npos, appended.find("[Languages]", 1));
    EXPECT_EQ(2u, [&] {
        std::size_t count = 0;
        for (auto at = appended.find("EN:>Open"); at != std::string::npos;
             at = appended.find("EN:>Open", at + 1))
            ++count;
        return count;
    }());
    EXPECT_FALSE(std::filesystem::exists(file + ".2.new"));
}

TEST_F(Translator, BrokenFilesLeaveTheTextsEnglishAndReportNoSuccess) {
    const auto untouched = [&](const std::string& text) {
        label->SetCaption(u"&Save");
        TWtransl translator;
        EXPECT_FALSE(translate(text, translator)) << text.substr(0, 60);
        EXPECT_EQ(u"&Save", label->Caption()) << text.substr(0, 60);
    };
    untouched("Encoding=utf-8\r\n\r\nEN:>Save\r\nDE:>Speich"); // truncated mid-line
    untouched("Encoding=utf-8\r\n\r\nEN:>Save\r\nDE:>Sp\xc3\x28ichern\r\n\r\n"); // bad UTF-8
    untouched(language_file({{"Save", std::string(10 << 20, 'x').c_str()}}));    // 10 MB line

    for (const std::string& name : {folder.file("none.lng"), folder.file("folder.lng")}) {
        std::filesystem::create_directory(folder.file("folder.lng")); // exists, cannot be read
        TWtransl translator;
        translator.SetLanguageFile(name);
        EXPECT_FALSE(translator.Translate("DE", form, "EN")) << name;
        EXPECT_EQ(-1, translator.LoadedCount()) << name;
    }

    // Duplicate keys: the later block wins. A locale Windows does not know changes nothing.
    const LCID locale = GetThreadLocale();
    TWtransl translator;
    EXPECT_TRUE(translate(language_file({{"Save", "Speichern"}, {"Save", "Sichern"}},
                                        "Encoding=utf-8\r\nLocale=0x7fff0\r\n"),
                          translator));
    EXPECT_EQ(u"Sichern", label->Caption());
    EXPECT_EQ(locale, GetThreadLocale());
}
