#pragma once
// TWtransl: translates the texts of a form or data module, and of every component it owns,
// from the source language into a target language taken from a language file. It applies the
// file's reading direction and font character set as it goes. In collection mode it changes
// no text and gathers the texts without translation (or the entries nothing asked for) into an
// output file beside the language file, a template for translators.
//
// The loaded tables serve every Translate with the same pair of languages and are freed
// kUnloadIntervalMs after the last successful translation by a timer of the thread that made
// the translator (which must handle window messages). One re-entrant lock covers Translate and
// the freeing of the tables, so Translate may be called from any thread; the components it
// translates must belong to the calling thread.

#include "common/critical_section.h"
#include "component/component.h"
#include "component/string_list.h"
#include "translation/hash_trie.h"
#include "translation/language_file.h"
#include "timers/timer_ex.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kvr {

class TWtransl;

// The translations of one loaded pair of languages: the exact table (key to translation) and
// the lower-case table (keys with A to Z lower-cased, only where that changes the key). Both
// are case-sensitive and own their THashStringItem values.
class TWtranslLanguagesList {
  public:
    TWtranslLanguagesList();
    void Clear();
    TStringHashTrie Exact;
    TStringHashTrie Lower;
};

using TTranslateNotify = std::function<void(TWtransl& Sender, TWtranslLanguagesList* LngResources)>;
using TBeforeTranslateComponentNotify = std::function<void(
    TWtransl& Sender, TObject& Comp, TWtranslLanguagesList* LngResources, bool& Allow)>;
using TCustomTranslateNotify =
    std::function<void(TWtransl& Sender, TObject& Comp, TWtranslLanguagesList* LngResources)>;
using TPropertyTranslateNotify = std::function<void(
    TWtransl& Sender, TObject& Obj, const PropInfo& pi, const std::u16string& OldValue,
    std::u16string& NewValue, bool Found, bool& DoDefault)>;
using TCustomObjectPropertyTranslateNotify = std::function<void(
    TWtransl& Sender, const std::string& Prop, TObject* Obj, TWtranslLanguagesList* LngResources)>;

class TWtransl : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    static constexpr std::uint32_t kUnloadIntervalMs = 20000;
    // Tags and help contexts that steer the walk over owned components.
    static constexpr std::int32_t kTagCustomOnly = 9997;     // only OnCustomTranslate for it
    static constexpr std::int32_t kTagOwnedOnly = 9998;      // its own texts stay, its parts not
    static constexpr std::int32_t kTagNotTranslated = 9999;  // neither it nor what it owns
    static constexpr std::int32_t kTagSkipMaskFirst = 10000; // 10000 + mask (hint, caption,
    static constexpr std::int32_t kTagSkipMaskLast = 10015;  // items, strings: bits 1, 2, 4, 8)
    // Texts longer than this (in bytes) are no user-interface texts: such entries are skipped.
    static constexpr std::size_t kMaxEntryLength = 64 * 1024;

    // Must be made on a thread that handles window messages (the unload timer's).
    TWtransl();
    // Writes the output file of collection mode, then frees the tables and the timer.
    ~TWtransl() override;

    // ---- Published properties ----
    // Names of the properties translated on every component (ASCII case ignored); at first
    // CAPTION, HINT, TEXT, TITLE, CAPTIONS.
    TStringList& ComponentProperties() { return component_properties_; }
    void SetComponentProperties(const TStringList& names) { component_properties_.Assign(names); }
    const std::string& LanguageFile() const { return language_file_; }
    void SetLanguageFile(std::string file) { language_file_ = std::move(file); }

    // ---- Events ----
    TPropertyTranslateNotify OnPropertyTranslate;
    TCustomTranslateNotify OnCustomTranslate;
    TTranslateNotify OnBeforeTranslate;
    TTranslateNotify OnAfterTranslate;
    TCustomObjectPropertyTranslateNotify OnCustomObjectPropertyTranslate;
    TBeforeTranslateComponentNotify OnBeforeTranslateComponent;

    // The "Default" value of the "[Languages]" section of LanguageFile; empty when the file,
    // the section or the key is missing.
    std::string ReadDefaultLanguage() const;

    // Translates component and what it owns from source into target. False, with nothing
    // touched, when the file has no entry for the pair (or is missing or unreadable) and no
    // collection mode is in force; true when the components were walked.
    bool Translate(const std::string& target, TComponent& component, const std::string& source);

    // Parses file for the pair into the tables: the number of entries taken, 0 when the file
    // has none for the pair, -1 when it is missing or unreadable (then nothing changes).
    int LoadLanguageFile(const std::string& file, const std::string& source,
                         const std::string& target);

    // The steps of Translate, for custom translators (see translator_customs.h); they run
    // under the translator's lock, which Translate holds.
    void TranslateComponent(TObject& object);
    void TranslateProperty(TObject& object, std::string_view name);
    void WalkOwnedComponents(TComponent& owner);
    // One text looked up in the tables: the translation (decoded, control characters and
    // "&" markers adjusted to the source text) and whether it was found.
    struct TTextTranslation {
        std::u16string Text;
        bool Found = false;
    };
    TTextTranslation TranslateText(const std::u16string& text) const;
    // Looks a text value of property pi of obj up, fires OnPropertyTranslate and, in
    // collection mode, collects it; new_text receives the text to write. True when the
    // property should be changed to new_text.
    bool TranslateValue(TObject& obj, const PropInfo& pi, const std::u16string& old_text,
                        std::u16string& new_text);

    // Frees the tables (the unload timer's handler); the next Translate loads the file again.
    void UnloadTables();
    // Writes the collected texts (collection mode only) as the output file for the pair.
    void WritePendingFile(const std::string& target, const std::string& source);

    // State, for callers that inspect it.
    TLngCollectMode CollectMode() const { return collect_mode_; }
    TLngFileMode FileMode() const { return file_mode_; }
    const TLngSettings& FileSettings() const { return settings_; }
    // Entries of the loaded pair; -1 after a missing or unreadable file.
    int LoadedCount() const { return loaded_count_; }
    bool TablesLoaded() const { return tables_ != nullptr; }
    TkvrTimerEx& UnloadTimer() { return *unload_timer_; }

  private:
    void CollectText(TObject& obj, const PropInfo& pi, const std::u16string& old_text, bool found);
    void AddPending(std::string text);
    void RemovePending(const std::string& text);
    void ApplyFontCharset(TObject& object);
    void SetThreadLocaleQuietly(std::uint32_t locale);

    TStringList component_properties_;
    std::string language_file_ = "app.lng";

    TLngSettings settings_;
    std::uint32_t saved_locale_ = 0;
    std::unique_ptr<TWtranslLanguagesList> tables_;
    std::string loaded_pair_;
    int loaded_count_ = 0;
    std::string last_target_;
    std::string last_source_;
    TLngCollectMode collect_mode_ = TLngCollectMode::cmNone;
    TLngFileMode file_mode_ = TLngFileMode::fmNew;
    std::vector<std::string> pending_;
    std::unordered_set<std::string> pending_set_;
    std::unique_ptr<TkvrTimerEx> unload_timer_;
    CriticalSection lock_; // re-entrant
};

} // namespace kvr
