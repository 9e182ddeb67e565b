#pragma once
// Custom property handlers. A map line whose property segment starts with "*"
// (cbPort.*ItemIndex) hands its value to the handlers registered under the name after the
// "*" instead of to the property table. Handlers live in one process-wide list behind its own
// lock; they are freed with the list when the library unloads.

#include "component/class_info.h"
#include "component/prop_value.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kvr {

class TWregCustomProp {
  public:
    // name is kept with its ASCII letters lower-cased.
    explicit TWregCustomProp(std::string_view name);
    virtual ~TWregCustomProp() = default;
    TWregCustomProp(const TWregCustomProp&) = delete;
    TWregCustomProp& operator=(const TWregCustomProp&) = delete;

    const std::string& Name() const { return name_; }

    // Obtains the value to store for component; false when there is nothing to store (the
    // base class always answers false).
    virtual bool GetComponentValue(TObject* component, const std::string& name, PropValue& value);
    // Applies a loaded value to component; the base class does nothing.
    virtual void SetComponentValue(TObject* component, const std::string& name,
                                   const PropValue& value);

  private:
    std::string name_;
};

class TWregCustomPropList {
  public:
    // The list held under its lock for as long as this object lives.
    class [[nodiscard]] Access {
      public:
        // Every handler registered under name (ASCII case ignored), in registration order.
        std::vector<TWregCustomProp*> HandlersFor(std::string_view name) const;

      private:
        friend class TWregCustomPropList;
        explicit Access(TWregCustomPropList& list) : list_(list), lock_(list.mutex_) {}
        TWregCustomPropList& list_;
        std::unique_lock<std::recursive_mutex> lock_;
    };

    // Takes the lock (re-entrant for the thread that holds it); the store holds it across a
    // whole handler step.
    Access Lock() { return Access(*this); }
    // Appends a handler under the lock; true. A null handler is refused with EAssertionFailed.
    bool Add(std::unique_ptr<TWregCustomProp> handler);
    // Frees every handler.
    void Clear();

  private:
    std::recursive_mutex mutex_;
    std::vector<std::unique_ptr<TWregCustomProp>> handlers_;
};

// The process-wide handler list.
TWregCustomPropList& WregCustomProps();

// Creates one THandler for name (lower-cased) and appends it to the process-wide list; true.
template <class THandler> bool RegisterWregCustomProp(std::string_view name) {
    static_assert(std::is_base_of_v<TWregCustomProp, THandler>);
    return WregCustomProps().Add(std::make_unique<THandler>(name));
}

// The handler of combo boxes' selected index (components implementing IComboBox).
class TWregComboBoxProp : public TWregCustomProp {
  public:
    using TWregCustomProp::TWregCustomProp;
    // A combo box's ItemIndex as a 32-bit integer, and true; false for anything else.
    bool GetComponentValue(TObject* component, const std::string& name, PropValue& value) override;
    // Selects the item whose index value spells. Ignored: an empty or null value, empty
    // text, text that is not an integer, and -2.
    void SetComponentValue(TObject* component, const std::string& name,
                           const PropValue& value) override;
};

// Registers the library's standard handlers: TWregComboBoxProp under "ItemIndex". Called once
// at library start, before any map is processed.
void RegisterStandardWregCustomProps();

} // namespace kvr
