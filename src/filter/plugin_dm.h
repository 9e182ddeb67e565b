#pragma once
// The aggregation module: its module definition and its registration as the library's
// module class.

#include "filter/aggregation_engine.h"
#include "filter/cfg_options.h"
#include "component/string_list.h"
#include "plugin/plugin_module.h"

#include <memory>
#include <mutex>

namespace kvr {

class TaPlugin : public TkvrPlugin {
  public:
    explicit TaPlugin(const TPluginCallRec* pCallRec);
    const char* ClassName() const override { return "TaPlugin"; }

    // Pushes a settings object into the engine (variables, timeout, no-reset option).
    void ApplySettings(const TDataSourceCfg& settings);
    // The engine of the loaded module; null before LOAD and after UNLOAD.
    std::shared_ptr<AggregationEngine> Engine();

    // Handlers named in the module definition.
    void kvrPluginLoad(PPluginCallRec pCallRec, int32_t& Result);
    void kvrPluginUnload(PPluginCallRec pCallRec, int32_t& Result);
    void kvrPluginProcessData(PPluginCallRec pCallRec, int32_t& Result);
    void kvrPluginLoadSettingsNow();
    void kvrPluginSaveSettingsNow();

    // Puts a loaded settings object in place of the current one, which is freed. The options
    // dialog's thread does this while a command on another thread may use the current one.
    void ReplaceSettings(std::unique_ptr<TDataSourceCfg> settings);

    // The property map: which settings-object property is stored under which name.
    TStringList Properties;
    // The settings object; replaced and used under settings_guard_.
    std::unique_ptr<TDataSourceCfg> Settings;

  private:
    std::mutex settings_guard_;
    std::mutex engine_guard_;
    std::shared_ptr<AggregationEngine> engine_;
};

// Registers TaPlugin as the class of every instance this library makes.
void RegisterAggregationModule();

} // namespace kvr
