#pragma once
// The filter's settings object: its published properties mirror the options form's controls
// (var1.Text becomes var1_Text), so one property map loads and saves either of them.

#include "settings/proxy_object.h"

#include <array>
#include <string>

namespace kvr {

class TProxyCodeObject : public TProxyCodeCustomObject {
    KVR_REFLECTED_CLASS()
  public:
    int32_t Left = 314;
    int32_t Top = 184;
    int32_t Height = 300;
    int32_t Width = 389;
    std::array<std::string, 8> VarText; // var1_Text .. var8_Text
    double spTimeout_Value = 0.0;
    bool chkNoReset_Checked = false;
};

class TaPlugin;

// The settings object of one module instance. A new one holds the defaults above until it is
// loaded.
class TDataSourceCfg : public TProxyCodeObject {
    KVR_REFLECTED_CLASS()
  public:
    explicit TDataSourceCfg(TaPlugin& owner) : owner_(owner) {}

    // Reads the values from the module's settings store through its property map, then
    // pushes them into the engine. Throws what the store throws (an INI file that exists but
    // cannot be read); the engine then keeps its settings.
    void LoadSettings();
    // Writes the values into the module's settings store; false when the store could not be
    // opened.
    bool SaveSettings();

  private:
    TaPlugin& owner_;
};

// The module's property map: 17 lines, the short map (dialog geometry) before the marker.
extern const char* const kAggregationPropertyMap[17];

} // namespace kvr
