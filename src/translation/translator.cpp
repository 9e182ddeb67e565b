#include "translation/translator.h"

#include "component/combo_box.h"
#include "component/text_platform.h"
#include "component/text_util.h"
#include "translation/language_io.h"
#include "translation/language_output.h"
#include "translation/translator_customs.h"
#include "translation/utf8_text.h"
#include "ui/form.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>

namespace kvr {

namespace {

constexpr std::array<const char*, 5> kDefaultProperties = {"CAPTION", "HINT", "TEXT", "TITLE",
                                                           "CAPTIONS"};
// The property names a Tag of 10000 to 10015 can skip, by bit.
constexpr std::array<const char*, 4> kMaskableProperties = {"hint", "caption", "items", "strings"};

bool is_control_char(char16_t c) {
    return c < 32;
}

// A character that makes a text worth collecting: a Latin letter or anything from 128 up.
bool is_word_character(char16_t c) {
    return !(c <= 64 || (c >= 91 && c <= 96) || (c >= 123 && c <= 127));
}

std::u16string_view trim_wide(std::u16string_view text) {
    while (!text.empty() && text.front() <= 32)
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= 32)
        text.remove_suffix(1);
    return text;
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A found translation adjusted to its source: "%" and two hex digits become that character
// when the source had a control character; "&" markers go when the source had none.
std::u16string adjust_translation(std::u16string_view translation, bool source_has_control,
                                  bool source_has_ampersand) {
    std::u16string out;
    out.reserve(translation.size());
    for (std::size_t i = 0; i < translation.size(); ++i) {
        const char16_t c = translation[i];
        if (c == u'%' && source_has_control && i + 2 < translation.size() &&
            hex_value(translation[i + 1]) >= 0 && hex_value(translation[i + 2]) >= 0) {
            out.push_back(static_cast<char16_t>(hex_value(translation[i + 1]) * 16 +
                                                hex_value(translation[i + 2])));
            i += 2;
        } else if (c == u'&' && !source_has_ampersand) {
            continue;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string lower_latin(std::string_view text) {
    return text::ascii_lower(text);
}

std::string without_ampersands(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != '&') out.push_back(c);
    return out;
}

bool is_text_kind(TTypeKind kind) {
    return kind == tkChar || kind == tkString || kind == tkWChar || kind == tkLString ||
           kind == tkWString || kind == tkVariant;
}

// The text of a text-kind property: characters read as codes.
std::u16string read_text(TObject& object, const PropInfo& pi) {
    const PropValue value = pi.read(object);
    if (pi.kind == tkWChar) return std::u16string(1, static_cast<char16_t>(value.to_int32()));
    if (pi.kind == tkChar)
        return text_platform().ansi_to_wide(std::string(1, static_cast<char>(value.to_int32())));
    return value.to_wide_text();
}

void write_text(TObject& object, const PropInfo& pi, const std::u16string& text) {
    if (pi.kind == tkWChar) {
        if (text.size() == 1) pi.write(object, static_cast<std::int32_t>(text[0]));
        return;
    }
    if (pi.kind == tkChar) {
        const std::string ansi = text_platform().wide_to_ansi(text);
        if (ansi.size() == 1)
            pi.write(object, static_cast<std::int32_t>(static_cast<unsigned char>(ansi[0])));
        return;
    }
    pi.write(object, PropValue(text));
}

// "[Class]Name -> ... .Property" for a component, "Class.Property" for any other object.
std::string origin_path(TObject& object, std::string_view property) {
    auto* component = dynamic_cast<TComponent*>(&object);
    if (!component) return format_item_origin_path(object.ClassName(), property);
    std::vector<TOriginLink> chain;
    for (TComponent* link = component; link; link = link->Owner())
        chain.push_back({link->ClassName(), link->Name()});
    std::reverse(chain.begin(), chain.end());
    return format_origin_path(chain, property);
}

// Runs step, ignoring any failure: one property or font never stops the walk.
template <class Step> void quietly(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

// ---- TWtranslLanguagesList ----

TWtranslLanguagesList::TWtranslLanguagesList() {
    for (TStringHashTrie* table : {&Exact, &Lower}) {
        table->SetCaseSensitive(true);
        table->SetOwnsValues(true);
    }
}

void TWtranslLanguagesList::Clear() {
    Exact.Clear();
    Lower.Clear();
}

// ---- TWtransl ----

const ClassInfo& TWtransl::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TWtransl>("TWtransl", TComponent::StaticClassInfo())
            .object<TStringList>("ComponentProperties",
                                 [](TWtransl& t) { return &t.ComponentProperties(); })
            .ansi_string("LanguageFile", &TWtransl::LanguageFile, &TWtransl::SetLanguageFile)
            .build();
    return info;
}

TWtransl::TWtransl() : saved_locale_(GetThreadLocale()) {
    for (const char* name : kDefaultProperties)
        component_properties_.Add(name);
    unload_timer_ = std::make_unique<TkvrTimerEx>();
    unload_timer_->SetEnabled(false);
    unload_timer_->SetInterval(kUnloadIntervalMs);
    unload_timer_->SetOnTimer([this](TkvrTimerEx&) { UnloadTables(); });
}

TWtransl::~TWtransl() {
    try {
        WritePendingFile(last_target_, last_source_);
    } catch (...) {
    }
    // The timer goes first and without the lock: from another thread its destruction waits
    // (at most 10 s) for the owning thread, whose pending unload may itself want the lock.
    unload_timer_.reset();
    std::lock_guard lock(lock_);
    pending_.clear();
    pending_set_.clear();
    tables_.reset();
}

std::string TWtransl::ReadDefaultLanguage() const {
    return read_default_language(standard_file_system(), language_file_);
}

bool TWtransl::Translate(const std::string& target, TComponent& component,
                         const std::string& source) {
    last_target_ = target;
    last_source_ = source;
    bool result = false;
    {
        std::lock_guard lock(lock_);
        quietly([&] { unload_timer_->SetEnabled(false); });
        if (!tables_) {
            tables_ = std::make_unique<TWtranslLanguagesList>();
            loaded_pair_.clear();
            loaded_count_ = 0;
        }
        // A separator keeps pairs such as "E"+"NDE" and "EN"+"DE" apart.
        const std::string pair = source + '\n' + target;
        if (pair != loaded_pair_) {
            loaded_pair_ = pair;
            loaded_count_ = LoadLanguageFile(language_file_, source, target);
        }
        if (OnBeforeTranslate) OnBeforeTranslate(*this, tables_.get());
        if (collect_mode_ != TLngCollectMode::cmNone || loaded_count_ > 0) {
            result = true;
            if (component.Tag() != kTagOwnedOnly) TranslateComponent(component);
            WalkOwnedComponents(component);
            if (OnAfterTranslate) OnAfterTranslate(*this, tables_.get());
        }
    }
    if (result) quietly([&] { unload_timer_->SetEnabled(true); });
    return result;
}

void TWtransl::SetThreadLocaleQuietly(std::uint32_t locale) {
    // A value Windows does not know (Locale=99999) leaves the thread's locale as it is.
    if (locale != 0 && IsValidLocale(locale, LCID_SUPPORTED)) SetThreadLocale(locale);
}

int TWtransl::LoadLanguageFile(const std::string& file, const std::string& source,
                               const std::string& target) {
    std::lock_guard lock(lock_);
    TLanguageFileSystem& files = standard_file_system();
    if (file.empty() || !files.Exists(file)) return -1;
    if (!tables_) tables_ = std::make_unique<TWtranslLanguagesList>();
    tables_->Clear();
    settings_ = TLngSettings{};
    SetThreadLocaleQuietly(saved_locale_);

    const std::optional<std::string> text = files.ReadAll(file);
    if (!text) return -1;
    const TLngParseResult parsed = parse_language_file(*text, source, target);
    settings_ = parsed.Settings;
    if (parsed.Directives.CollectMode) collect_mode_ = *parsed.Directives.CollectMode;
    if (parsed.Directives.FileMode) file_mode_ = *parsed.Directives.FileMode;
    if (settings_.Locale) SetThreadLocaleQuietly(*settings_.Locale);

    int count = 0;
    for (const TLngEntry& entry : parsed.Entries) {
        // Entries a user interface cannot show are not translations: the text stays English.
        if (entry.Key.size() > kMaxEntryLength || entry.Translation.size() > kMaxEntryLength)
            continue;
        if (settings_.Utf8 && !is_valid_utf8(entry.Translation)) continue;
        tables_->Exact.AddString(entry.Key, entry.Translation);
        const std::string lower = lower_latin(entry.Key);
        if (lower != entry.Key) tables_->Lower.AddString(lower, entry.Translation);
        ++count;
        if (collect_mode_ == TLngCollectMode::cmSaveUnused) AddPending(entry.Key);
    }
    return count;
}

TWtransl::TTextTranslation TWtransl::TranslateText(const std::u16string& text) const {
    TTextTranslation result{text, false};
    if (!tables_) return result;
    const std::u16string_view trimmed = trim_wide(text);
    if (trimmed.empty()) return result;
    const bool has_control = std::any_of(trimmed.begin(), trimmed.end(), is_control_char);
    const bool has_ampersand = trimmed.find(u'&') != std::u16string_view::npos;

    const std::string t = text_platform().wide_to_ansi(trimmed);
    const std::string e1 = to_key_form(t);
    const std::string e2 = without_ampersands(e1);
    std::optional<THashValue*> hit = tables_->Exact.Find(t);
    if (!hit) hit = tables_->Exact.Find(e1);
    if (!hit) hit = tables_->Exact.Find(e2);
    if (!hit) hit = tables_->Lower.Find(lower_latin(t));
    if (!hit) return result;
    const auto* item = dynamic_cast<const THashStringItem*>(*hit);
    if (!item) return result;

    const std::u16string decoded =
        settings_.Utf8 ? utf8_to_wide(item->Value) : text_platform().ansi_to_wide(item->Value);
    result.Text = adjust_translation(decoded, has_control, has_ampersand);
    result.Found = true;
    return result;
}

bool TWtransl::TranslateValue(TObject& obj, const PropInfo& pi, const std::u16string& old_text,
                              std::u16string& new_text) {
    TTextTranslation translated = TranslateText(old_text);
    new_text = std::move(translated.Text);
    bool do_default = true;
    if (OnPropertyTranslate)
        OnPropertyTranslate(*this, obj, pi, old_text, new_text, translated.Found, do_default);
    if (collect_mode_ != TLngCollectMode::cmNone) {
        do_default = false; // collection mode replaces no text
        CollectText(obj, pi, old_text, translated.Found);
    }
    return do_default && new_text != old_text;
}

void TWtransl::CollectText(TObject& obj, const PropInfo& pi, const std::u16string& old_text,
                           bool found) {
    if (std::none_of(old_text.begin(), old_text.end(), is_word_character)) return;
    const std::string key = to_key_form(text_platform().wide_to_ansi(old_text));
    switch (collect_mode_) {
    case TLngCollectMode::cmSaveUntr:
        if (!found) AddPending(key);
        break;
    case TLngCollectMode::cmSaveUntrObj:
        if (!found) AddPending(format_origin_entry(origin_path(obj, pi.name), key));
        break;
    case TLngCollectMode::cmSaveUnused:
        // The list holds every key of the file; an empty string marks that the run asked.
        if (pending_.empty()) AddPending(std::string());
        RemovePending(key);
        break;
    case TLngCollectMode::cmSaveAll:
    case TLngCollectMode::cmNone:
        break;
    }
}

void TWtransl::AddPending(std::string text) {
    if (pending_set_.insert(text).second) pending_.push_back(std::move(text));
}

void TWtransl::RemovePending(const std::string& text) {
    if (pending_set_.erase(text) == 0) return;
    pending_.erase(std::find(pending_.begin(), pending_.end(), text));
}

void TWtransl::ApplyFontCharset(TObject& object) {
    for (const char* name : {"FocusFont", "Font"}) {
        quietly([&] {
            const PropInfo* pi = FindPropInfo(object, name);
            if (!pi || pi->kind != tkClass) return;
            auto* font = dynamic_cast<ui::TFont*>(pi->held_object(object));
            if (!font || !font->Handle()) return;
            // A symbol font keeps its glyphs; changing nothing keeps the windows' font object.
            if (font->Charset() != SYMBOL_CHARSET && font->Charset() != settings_.Charset)
                font->SetCharset(settings_.Charset);
        });
    }
}

void TWtransl::TranslateComponent(TObject& object) {
    bool allow = true;
    if (OnBeforeTranslateComponent) OnBeforeTranslateComponent(*this, object, tables_.get(), allow);
    if (!allow) return;

    quietly([&] {
        if (settings_.BiDiMode == TLngBiDiMode::bdLeftToRight) return;
        if (const PropInfo* pi = FindPropInfo(object, "BiDiMode"); pi && pi->writable())
            pi->write(object, EnumOrdinal{static_cast<std::int32_t>(settings_.BiDiMode)});
    });
    ApplyFontCharset(object);

    std::optional<std::int32_t> item_index;
    auto* combo = dynamic_cast<IComboBox*>(&object);
    if (auto* control = dynamic_cast<ui::TWinControl*>(&object);
        combo && control && control->HandleAllocated())
        item_index = combo->ItemIndex();

    unsigned skip_mask = 0;
    if (auto* component = dynamic_cast<TComponent*>(&object);
        component && component->Tag() >= kTagSkipMaskFirst && component->Tag() <= kTagSkipMaskLast)
        skip_mask = static_cast<unsigned>(component->Tag() - kTagSkipMaskFirst);
    const bool is_edit = object.InheritsFrom("TCustomEdit");

    for (int i = 0; i < component_properties_.Count(); ++i) {
        const std::string& name = component_properties_.Get(i);
        bool skipped = false;
        for (std::size_t bit = 0; bit < kMaskableProperties.size(); ++bit)
            if ((skip_mask & (1u << bit)) && text::same_text_ascii(name, kMaskableProperties[bit]))
                skipped = true;
        if (is_edit && text::same_text_ascii(name, "text")) skipped = true; // what the user typed
        if (!skipped) quietly([&] { TranslateProperty(object, name); });
    }

    if (item_index)
        quietly([&] {
            if (combo->ItemIndex() != *item_index) combo->SetItemIndex(*item_index);
        });
    if (OnCustomTranslate) OnCustomTranslate(*this, object, tables_.get());
}

void TWtransl::TranslateProperty(TObject& object, std::string_view name) {
    const PropInfo* pi = FindPropInfo(object, name);
    if (!pi) return;
    if (is_text_kind(pi->kind)) {
        const std::u16string old_text = read_text(object, *pi);
        std::u16string new_text;
        if (TranslateValue(object, *pi, old_text, new_text)) write_text(object, *pi, new_text);
        return;
    }
    if (pi->kind != tkClass) return;
    TObject* held = pi->held_object(object);
    if (auto* lines = dynamic_cast<TStringList*>(held)) {
        const TextPlatform& platform = text_platform();
        lines->BeginUpdate();
        struct EndUpdate {
            TStringList& lines;
            ~EndUpdate() { lines.EndUpdate(); }
        } end_update{*lines};
        for (int i = 0; i < lines->Count(); ++i) {
            const std::u16string old_text = platform.ansi_to_wide(lines->Get(i));
            std::u16string new_text;
            if (TranslateValue(object, *pi, old_text, new_text))
                lines->Put(i, platform.wide_to_ansi(new_text));
        }
        return;
    }
    if (held && RunCustomTranslators(*this, object, tables_.get(), *pi, *held)) return;
    if (OnCustomObjectPropertyTranslate)
        OnCustomObjectPropertyTranslate(*this, pi->name, held, tables_.get());
}

void TWtransl::WalkOwnedComponents(TComponent& owner) {
    if (auto* form = dynamic_cast<ui::TForm*>(&owner)) {
        quietly([&] {
            if (form->Font().Charset() != settings_.Charset)
                form->Font().SetCharset(settings_.Charset);
        });
        quietly([&] {
            if (const PropInfo* pi = FindPropInfo(*form, "BiDiMode"); pi && pi->writable())
                pi->write(*form, EnumOrdinal{static_cast<std::int32_t>(settings_.BiDiMode)});
        });
    }
    for (int i = 0; i < owner.ComponentCount(); ++i) {
        TComponent& component = *owner.Components(i);
        const std::int32_t tag = component.Tag();
        const std::string& name = component.Name();
        if (tag == kTagNotTranslated || name.starts_with("__")) continue;
        if (auto* control = dynamic_cast<ui::TWinControl*>(&component);
            control && (control->HelpContext() == -1 || control->HelpContext() == 9999))
            continue;
        if (tag == kTagCustomOnly) {
            if (OnCustomTranslate) OnCustomTranslate(*this, component, tables_.get());
        } else if (tag != kTagOwnedOnly) {
            TranslateComponent(component);
        }
        if (name.starts_with("_")) continue;
        if (component.ComponentCount() > 0) WalkOwnedComponents(component);
        if (tag != kTagCustomOnly && component.InheritsFrom("TComboBox"))
            quietly([&] { TranslateProperty(component, "Items"); });
    }
}

void TWtransl::UnloadTables() {
    quietly([&] { unload_timer_->SetEnabled(false); });
    std::lock_guard lock(lock_);
    loaded_count_ = 0;
    loaded_pair_.clear();
    tables_.reset();
}

void TWtransl::WritePendingFile(const std::string& target, const std::string& source) {
    std::lock_guard lock(lock_);
    if (language_file_.empty()) return;
    write_pending_file(standard_file_system(), language_file_, collect_mode_, file_mode_, source,
                       target, pending_);
}

} // namespace kvr
