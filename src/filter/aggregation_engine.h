#pragma once
// The aggregation engine: it holds the values seen since the last record until every
// configured variable has had a value that is neither empty nor null, then hands one combined
// row on. All of its state is guarded by the lock of AggregationItems.

#include "params/params_list.h"
#include "threads/thread_containers.h"

#include <array>
#include <cstdint>
#include <string>
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
    void reset_locked();
    void hold(const kvr_params_list_item& item, std::string_view lower_name, const VARIANT& value);

    ParamsListPtr held_values_;
    // Index of held_values_ by lower-case name, so a packet of many variables costs linear time.
    std::unordered_map<std::string, TkvrParamsListItem*> held_index_;
    uint32_t last_tick_ = 0;
    uint32_t timeout_ms_ = 0;
    bool no_reset_ = false;
};

// ANSI lower-case of a name by the code page's rules.
std::string ansi_lower(std::string_view text);
// Timeout in milliseconds from the settings' value: truncated toward zero to 64 bits, low 32 kept.
uint32_t timeout_from_setting(double value);

} // namespace kvr
