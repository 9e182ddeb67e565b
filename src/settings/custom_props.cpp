#include "settings/custom_props.h"

#include "common/errors.h"
#include "component/combo_box.h"
#include "component/text_util.h"

namespace kvr {

TWregCustomProp::TWregCustomProp(std::string_view name) : name_(text::ascii_lower(name)) {}

bool TWregCustomProp::GetComponentValue(TObject*, const std::string&, PropValue&) {
    return false;
}

void TWregCustomProp::SetComponentValue(TObject*, const std::string&, const PropValue&) {}

std::vector<TWregCustomProp*>
TWregCustomPropList::Access::HandlersFor(std::string_view name) const {
    std::vector<TWregCustomProp*> found;
    for (const auto& handler : list_.handlers_)
        if (text::same_text_ascii(handler->Name(), name)) found.push_back(handler.get());
    return found;
}

bool TWregCustomPropList::Add(std::unique_ptr<TWregCustomProp> handler) {
    kvr_assert(handler != nullptr, "src/settings/custom_props", __LINE__);
    std::lock_guard lock(mutex_);
    handlers_.push_back(std::move(handler));
    return true;
}

void TWregCustomPropList::Clear() {
    std::lock_guard lock(mutex_);
    handlers_.clear();
}

TWregCustomPropList& WregCustomProps() {
    static TWregCustomPropList list; // process-wide; freed with its handlers at unload
    return list;
}

bool TWregComboBoxProp::GetComponentValue(TObject* component, const std::string&,
                                          PropValue& value) {
    const auto* combo = dynamic_cast<const IComboBox*>(component);
    if (!combo) return false;
    value = PropValue(combo->ItemIndex());
    return true;
}

void TWregComboBoxProp::SetComponentValue(TObject* component, const std::string&,
                                          const PropValue& value) {
    if (value.is_empty_or_null()) return;
    const std::string spelled = value.to_text();
    auto* combo = dynamic_cast<IComboBox*>(component);
    if (spelled.empty() || !combo) return;
    const std::int32_t index = text::parse_int32(spelled).value_or(-2);
    if (index != -2) combo->SetItemIndex(index);
}

void RegisterStandardWregCustomProps() {
    RegisterWregCustomProp<TWregComboBoxProp>("ItemIndex");
}

} // namespace kvr
