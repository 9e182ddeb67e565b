#include "translation/translator_customs.h"

#include "component/wide_strings.h"

#include <mutex>
#include <vector>

namespace kvr {

namespace {

struct Registry {
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<TWtranslatorCustom>> handlers;
    bool standard_registered = false;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

bool TWtranslatorCustom::TranslateObject(TWtransl&, TObject&, TWtranslLanguagesList*,
                                         const PropInfo&, TObject&) {
    return false;
}

TWtranslatorCustomTntStrings::TWtranslatorCustomTntStrings()
    : TWtranslatorCustom(TTntStrings::StaticClassInfo()) {}

bool TWtranslatorCustomTntStrings::TranslateObject(TWtransl& Translator, TObject& Component,
                                                   TWtranslLanguagesList*, const PropInfo& pi,
                                                   TObject& Value) {
    auto* lines = dynamic_cast<TTntStrings*>(&Value);
    if (!lines) return false;
    lines->BeginUpdate();
    struct EndUpdate {
        TTntStrings& lines;
        ~EndUpdate() { lines.EndUpdate(); }
    } end_update{*lines};
    for (int i = 0; i < lines->Count(); ++i) {
        const std::u16string old_text = lines->Get(i);
        std::u16string new_text;
        if (Translator.TranslateValue(Component, pi, old_text, new_text)) lines->Put(i, new_text);
    }
    return true;
}

void RegisterCustomTranslator(std::unique_ptr<TWtranslatorCustom> handler) {
    if (!handler) return;
    Registry& state = registry();
    std::lock_guard lock(state.lock);
    state.handlers.push_back(std::move(handler));
}

bool RunCustomTranslators(TWtransl& translator, TObject& component, TWtranslLanguagesList* tables,
                          const PropInfo& pi, TObject& value) {
    Registry& state = registry();
    std::lock_guard lock(state.lock);
    for (const auto& handler : state.handlers) {
        if (!value.class_info().inherits_from(handler->HandledClass())) continue;
        if (handler->TranslateObject(translator, component, tables, pi, value)) return true;
    }
    return false;
}

void RegisterStandardCustomTranslators() {
    Registry& state = registry();
    std::lock_guard lock(state.lock);
    if (state.standard_registered) return;
    state.handlers.push_back(std::make_unique<TWtranslatorCustomTntStrings>());
    state.standard_registered = true;
}

void ClearCustomTranslators() noexcept {
    Registry& state = registry();
    std::lock_guard lock(state.lock);
    state.handlers.clear();
    state.standard_registered = false;
}

} // namespace kvr
