#include "filter/aggregation_engine.h"

#include "component/text_platform.h"
#include "component/text_util.h"

#include <cmath>

namespace kvr {

namespace {

std::string_view item_name(const kvr_params_list_item& item) {
    return {item.Name, size_t(kvr_ansi_length(item.Name))};
}

} // namespace

std::string ansi_lower(std::string_view text) {
    return text_platform().ansi_lower(text);
}

uint32_t timeout_from_setting(double value) {
    if (!std::isfinite(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated >= 9.2e18 || truncated <= -9.2e18) return 0;
    return uint32_t(uint64_t(int64_t(truncated)));
}

AggregationEngine::AggregationEngine() : held_values_(make_params_list()) {}

void AggregationEngine::ApplySettings(const std::array<std::string, 8>& variables,
                                      double timeout_ms, bool no_reset) {
    auto items = AggregationItems.LockList();
    items->Clear();
    reset_locked();
    for (const std::string& variable : variables) {
        const std::string name(text::trim_controls(variable));
        if (name.empty()) continue;
        auto entry = std::make_unique<TAggregationListItem>();
        entry->LowerName = ansi_lower(name);
        // The same variable named twice would wait for a second value that marks nothing.
        bool duplicate = false;
        for (const TAggregationListItem* existing : *items)
            duplicate = duplicate || existing->LowerName == entry->LowerName;
        if (!duplicate) items->Add(std::move(entry));
    }
    timeout_ms_ = timeout_from_setting(timeout_ms);
    no_reset_ = no_reset;
}

void AggregationEngine::ResetAggregation() {
    auto items = AggregationItems.LockList();
    reset_locked();
}

void AggregationEngine::reset_locked() {
    held_index_.clear();
    held_values_->Clear();
    auto items = AggregationItems.LockList(); // re-entrant
    for (TAggregationListItem* entry : *items)
        entry->Seen = false;
}

std::vector<std::string> AggregationEngine::HeldNames() {
    auto items = AggregationItems.LockList();
    std::vector<std::string> names;
    for (int32_t i = 0; i < held_values_->GetCount(); ++i)
        names.emplace_back(held_values_->GetItem(i)->GetName());
    return names;
}

void AggregationEngine::hold(const kvr_params_list_item& item, std::string_view lower_name,
                             const VARIANT& value) {
    const auto found = held_index_.find(std::string(lower_name));
    if (found != held_index_.end()) {
        found->second->AssignValue(value);
        return;
    }
    if (TkvrParamsListItem* added = held_values_->AddValue(item_name(item), value))
        held_index_.emplace(std::string(added->GetLowerName()), added);
}

void AggregationEngine::ProcessPacket(const kvr_params_list* packet, uint32_t now,
                                      TkvrParamsList& output) {
    auto items = AggregationItems.LockList();
    output.Clear(); // a record handed on before must not go out again
    if (!packet) return;
    if (timeout_ms_ != 0 && timeout_ms_ < uint32_t(now - last_tick_)) reset_locked();
    last_tick_ = now;
    if (items->Count() == 0) return;

    const int32_t count = packet->Count;
    for (int32_t i = 0; i < count; ++i) {
        const kvr_params_list_item* item = packet->Items[i];
        const bool row_end = is_row_separator(item);
        if (!row_end) {
            const std::string lower = ansi_lower(item_name(*item));
            const bool has_value = !kvr_variant_is_empty_or_null(&item->Value);
            TAggregationListItem* matched = nullptr;
            for (TAggregationListItem* entry : *items) {
                if (entry->LowerName == lower) {
                    matched = entry;
                    break;
                }
            }
            if (matched && !matched->Seen && has_value) matched->Seen = true;
            if (!matched || has_value) hold(*item, lower, item->Value);
        }
        if (row_end || i == count - 1) {
            int seen = 0;
            for (const TAggregationListItem* entry : *items)
                seen += entry->Seen ? 1 : 0;
            if (seen == items->Count()) {
                output.AppendRow(held_values_.get());
                if (!no_reset_) reset_locked();
                return;
            }
        }
    }
}

} // namespace kvr
