#pragma once
// The aggregation engine: it holds the values seen since the last record until every
// configured variable has had a value that is neither empty nor null, then hands one combined
// row on. All of its state is guarded by the lock of AggregationItems.

#include "params/params_list.h"
#include "threads/thread_containers.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kvr {

// One configured variable and whether it has been seen since the last reset.
struct TAggregationListItem {
    bool Seen = false;
    std::string LowerName; // trimmed and ANSI lower-cased
};

class AggregationEngine {
  public:
    AggregationEngine();
    ~AggregationEngine();
    AggregationEngine(const AggregationEngine&) = delete;
    AggregationEngine& operator=(const AggregationEngine&) = delete;

    // Rebuilds the entries from up to eight variable names (blank ones skipped, a name given
    // twice counted once), empties the held values and sets the timeout (milliseconds,
    // truncated toward zero, low 32 bits of the 64-bit integer) and the no-reset option.
    void ApplySettings(const std::array<std::string, 8>& variables, double timeout_ms,
                       bool no_reset);
    // Forgets the held values and every seen flag.
    void ResetAggregation();
    // Walks one packet (tick: the 32-bit millisecond counter now) and puts a completed record,
    // if any, into `output` (cleared first). A null packet only clears `output`.
    void ProcessPacket(const kvr_params_list* packet, uint32_t now, TkvrParamsList& output);

    uint32_t TimeoutMs() const { return timeout_ms_; }
    int EntryCount() { return AggregationItems.Count(); }
    // A copy of the held values' names, for inspection.
    std::vector<std::string> HeldNames();

    TThreadObjectList<TAggregationListItem> AggregationItems{true};

  private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>{}(name);
        }
    };
    // An item of the held values, or one kept from an earlier collection for the same name.
    struct HeldSlot {
        TkvrParamsListItem* item = nullptr;
        uint64_t collection = 0; // the collection in which it was last held
    };

    void reset_locked();
    void forget_held_items();
    void abandon_held_items();
    void hold(const kvr_params_list_item& item, std::string_view lower_name, const VARIANT& value);
    TkvrParamsListItem* item_for_first_arrival(HeldSlot* kept, std::string_view name,
                                               const VARIANT& value);
    void append_record(TkvrParamsList& output);

    ParamsListPtr held_values_;
    // Every item of held_values_ by lower-case name, so a packet of many variables costs linear
    // time. Items stay here after a reset (emptied of their values) and serve the same name
    // in the next collection, so a steady stream makes no new items. They are owned here:
    // held_values_ only lists those of the current collection.
    std::unordered_map<std::string, HeldSlot, NameHash, std::equal_to<>> held_index_;
    uint64_t collection_ = 1;
    std::string lower_name_; // the name being matched, lower-cased
    ItemPtr separator_;      // the row end every record closes with, copied out
    int seen_count_ = 0;
    uint32_t last_tick_ = 0;
    uint32_t timeout_ms_ = 0;
    bool no_reset_ = false;
    // A memory fault in a host's packet interrupted a walk: a held value may be half copied
    // from the host's memory, so the held items are abandoned rather than freed.
    bool damaged_ = false;
};

// ANSI lower-case of a name by the code page's rules.
std::string ansi_lower(std::string_view text);
// The same into `lower`, whose storage is reused: names of ASCII letters only are lowered here,
// since every ANSI code page lowers them as ASCII does.
void ansi_lower_into(std::string_view text, std::string& lower);
// Timeout in milliseconds from the settings' value: truncated toward zero to 64 bits, low 32 kept.
uint32_t timeout_from_setting(double value);

} // namespace kvr
