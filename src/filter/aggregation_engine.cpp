#include "filter/aggregation_engine.h"

#include "component/text_platform.h"
#include "component/text_util.h"
#include "common/fault_cleanup.h"

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

void ansi_lower_into(std::string_view text, std::string& lower) {
    lower.assign(text);
    for (char& c : lower) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            lower = ansi_lower(text);
            return;
        }
        if (byte >= 'A' && byte <= 'Z') c = char(byte + ('a' - 'A'));
    }
}

uint32_t timeout_from_setting(double value) {
    if (!std::isfinite(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated >= 9.2e18 || truncated <= -9.2e18) return 0;
    return uint32_t(uint64_t(int64_t(truncated)));
}

AggregationEngine::AggregationEngine() : held_values_(make_params_list()) {
    separator_.reset(TkvrParamsListItem::Create(KVR_ROW_SEPARATOR, Variant::null().get()));
    separator_->State = 2;
}

AggregationEngine::~AggregationEngine() {
    if (damaged_)
        abandon_held_items();
    else
        forget_held_items();
}

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
    const size_t held = size_t(held_values_->Count);
    for (int32_t i = 0; i < held_values_->Count; ++i)
        kvr_variant_clear(&held_values_->Items[i]->Value);
    held_values_->Count = 0; // the items stay in the index for the next collection
    ++collection_;
    // Names that no longer come are not kept for ever.
    if (held_index_.size() > 64 && held_index_.size() > 2 * held) forget_held_items();
    auto items = AggregationItems.LockList(); // re-entrant
    for (TAggregationListItem* entry : *items)
        entry->Seen = false;
    seen_count_ = 0;
}

void AggregationEngine::forget_held_items() {
    held_values_->Count = 0;
    for (auto& [name, slot] : held_index_)
        TkvrParamsListItem::Destroy(slot.item);
    held_index_.clear();
}

void AggregationEngine::abandon_held_items() {
    held_values_->Count = 0; // the items stay allocated: freeing them could free host memory
    held_index_.clear();
    auto items = AggregationItems.LockList(); // re-entrant
    for (TAggregationListItem* entry : *items)
        entry->Seen = false;
    seen_count_ = 0;
    ++collection_;
    damaged_ = false;
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
    const auto found = held_index_.find(lower_name);
    HeldSlot* const kept = found == held_index_.end() ? nullptr : &found->second;
    if (kept && kept->collection == collection_) {
        kept->item->AssignValue(value); // in place: the item keeps its position
        return;
    }
    const std::string_view name = item_name(item);
    if (kvr_name_is_blank(name.data(), int32_t(name.size()))) return;
    TkvrParamsListItem* const held = item_for_first_arrival(kept, name, value);
    if (!kvr_list_append_item(held_values_.get(), held)) {
        if (!kept) TkvrParamsListItem::Destroy(held);
        throw std::bad_alloc();
    }
    if (kept) {
        kept->collection = collection_;
        return;
    }
    try {
        held_index_.emplace(std::string(held->GetLowerName()), HeldSlot{held, collection_});
    } catch (...) {
        --held_values_->Count;
        TkvrParamsListItem::Destroy(held);
        throw;
    }
}

// The item that holds a name from its first arrival in this collection on, with the value as
// AddValue stores it (8-bit strings as OLE strings) and the name as it arrived.
TkvrParamsListItem* AggregationEngine::item_for_first_arrival(HeldSlot* kept, std::string_view name,
                                                              const VARIANT& value) {
    if (!kept) {
        TkvrParamsListItem* made = TkvrParamsListItem::Create(name, value);
        kvr_variant_ansi_to_ole(&made->Value);
        made->State = 2;
        return made;
    }
    TkvrParamsListItem* item = kept->item;
    if (item->GetName() != name) { // the same name in other letter case
        kvr_ansi_string spelled = kvr_ansi_new(name.data(), int32_t(name.size()));
        if (!spelled) throw std::bad_alloc();
        kvr_ansi_release(item->Name);
        item->Name = spelled;
    }
    copy_variant(item->Value, value);
    kvr_variant_ansi_to_ole(&item->Value);
    return item;
}

void AggregationEngine::append_record(TkvrParamsList& output) {
    const int32_t held = held_values_->Count;
    if (held == 0) return;
    output.Reserve(output.Count + held + 1);
    for (int32_t i = 0; i < held; ++i)
        output.Append(TkvrParamsListItem::from(held_values_->Items[i])->CopyForOutput());
    output.Append(separator_->CopyForOutput());
}

void AggregationEngine::ProcessPacket(const kvr_params_list* packet, uint32_t now,
                                      TkvrParamsList& output) {
    auto items = AggregationItems.LockList();
    if (damaged_) abandon_held_items();
    output.ClearItems(); // a record handed on before must not go out again
    if (!packet) return;
    // Runs (before the lock is given back) when a fault in the packet abandons this walk.
    const FaultCleanup mark_damaged{
        [](void* engine) { static_cast<AggregationEngine*>(engine)->damaged_ = true; }, this};
    if (timeout_ms_ != 0 && timeout_ms_ < uint32_t(now - last_tick_)) reset_locked();
    last_tick_ = now;
    const int entries = items->Count();
    if (entries == 0) return;

    const int32_t count = packet->Count;
    for (int32_t i = 0; i < count; ++i) {
        const kvr_params_list_item* item = packet->Items[i];
        const bool row_end = is_row_separator(item);
        if (!row_end) {
            ansi_lower_into(item_name(*item), lower_name_);
            const bool has_value = !kvr_variant_is_empty_or_null(&item->Value);
            TAggregationListItem* matched = nullptr;
            for (TAggregationListItem* entry : *items) {
                if (entry->LowerName == lower_name_) {
                    matched = entry;
                    break;
                }
            }
            if (matched && !matched->Seen && has_value) {
                matched->Seen = true;
                ++seen_count_;
            }
            if (!matched || has_value) hold(*item, lower_name_, item->Value);
        }
        if ((row_end || i == count - 1) && seen_count_ == entries) {
            append_record(output);
            if (!no_reset_) reset_locked();
            return;
        }
    }
}

} // namespace kvr
