#pragma once
// Custom translators: a process-wide registry of handlers for object-valued properties that the
// translator's built-in cases (8-bit string lists) do not know. A handler is found by the class
// of the property's value; the first registered one whose class the value belongs to and that
// takes the value translates it.

#include "translation/translator.h"

#include <memory>

namespace kvr {

class TWtranslatorCustom {
  public:
    explicit TWtranslatorCustom(const ClassInfo& handled) : handled_(handled) {}
    virtual ~TWtranslatorCustom() = default;
    TWtranslatorCustom(const TWtranslatorCustom&) = delete;
    TWtranslatorCustom& operator=(const TWtranslatorCustom&) = delete;

    // The class of property values this handler is for (descendants included).
    const ClassInfo& HandledClass() const { return handled_; }

    // Translates value, the object held by property pi of component; true when handled. The
    // base handles nothing.
    virtual bool TranslateObject(TWtransl& Translator, TObject& Component,
                                 TWtranslLanguagesList* Tables, const PropInfo& pi, TObject& Value);

  private:
    const ClassInfo& handled_;
};

// Translates a wide-string list (TTntStrings) line by line, like the built-in 8-bit case.
class TWtranslatorCustomTntStrings final : public TWtranslatorCustom {
  public:
    TWtranslatorCustomTntStrings();
    bool TranslateObject(TWtransl& Translator, TObject& Component, TWtranslLanguagesList* Tables,
                         const PropInfo& pi, TObject& Value) override;
};

// Appends a handler to the registry. [any thread]
void RegisterCustomTranslator(std::unique_ptr<TWtranslatorCustom> handler);
// Hands value to the registered handlers in order; true when one handled it. The registry's
// lock is held meanwhile (it is re-entrant, so a handler may translate nested objects).
bool RunCustomTranslators(TWtransl& translator, TObject& component, TWtranslLanguagesList* tables,
                          const PropInfo& pi, TObject& value);
// Registers the handlers every library has: the wide-string-list one. Once per process; a
// second call does nothing.
void RegisterStandardCustomTranslators();
// Frees every handler (library shutdown).
void ClearCustomTranslators() noexcept;

} // namespace kvr
