#include "filter/plugin_dm.h"

#include "common/fault_cleanup.h"
#include "filter/filter_main.h"
#include "plugin/instances.h"

#include <windows.h>

#include <utility>

namespace kvr {

namespace {
// The module definition: the values and handlers a host sees for this module.
void define_module(TaPlugin& module) {
    module.SetName("aPlugin");
    module.Description = "Aggregation";
    module.LogTitle = "Aggregation";
    module.MinVersion = 4.0f;
    module.ModuleType = module_type_bit(mttFilter);
    module.ModuleOptions = 0;
    module.EventsSupported.clear();
    module.IsMultiThreadSupported = true;
    module.OnLoad = [](TkvrPlugin& sender, PPluginCallRec rec, int32_t& result) {
        static_cast<TaPlugin&>(sender).kvrPluginLoad(rec, result);
    };
    module.OnUnload = [](TkvrPlugin& sender, PPluginCallRec rec, int32_t& result) {
        static_cast<TaPlugin&>(sender).kvrPluginUnload(rec, result);
    };
    module.OnProcessData = [](TkvrPlugin& sender, PPluginCallRec rec, int32_t& result) {
        static_cast<TaPlugin&>(sender).kvrPluginProcessData(rec, result);
    };
    module.OnLoadSettingsNow = [](TkvrPlugin& sender) {
        static_cast<TaPlugin&>(sender).kvrPluginLoadSettingsNow();
    };
    module.OnSaveSettingsNow = [](TkvrPlugin& sender) {
        static_cast<TaPlugin&>(sender).kvrPluginSaveSettingsNow();
    };
    module.OnShowOptionsDialog = [](TkvrPlugin& sender, PPluginCallRec rec, bool& success) {
        kvrPluginShowOptionsDialog(static_cast<TaPlugin&>(sender), rec, success);
    };
    for (const char* line : kAggregationPropertyMap)
        module.Properties.Add(line);
}
} // namespace

const ClassInfo& TaPlugin::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TaPlugin>("TaPlugin", TkvrPlugin::StaticClassInfo()).build();
    return info;
}

TaPlugin::TaPlugin(const TPluginCallRec* pCallRec) : TkvrPlugin(pCallRec) {
    define_module(*this);
}

void TaPlugin::ApplySettings(const TDataSourceCfg& settings) {
    if (auto engine = Engine())
        engine->ApplySettings(settings.VarText, settings.spTimeout_Value,
                              settings.chkNoReset_Checked);
}

std::shared_ptr<AggregationEngine> TaPlugin::Engine() {
    std::lock_guard lock(engine_guard_);
    return engine_;
}

void TaPlugin::kvrPluginLoad(PPluginCallRec, int32_t&) {
    {
        std::lock_guard lock(engine_guard_);
        engine_ = std::make_shared<AggregationEngine>();
    }
    std::lock_guard lock(settings_guard_);
    Settings = std::make_unique<TDataSourceCfg>(*this);
    Settings->LoadSettings();
}

void TaPlugin::kvrPluginUnload(PPluginCallRec, int32_t&) {
    {
        std::lock_guard lock(settings_guard_);
        Settings.reset();
    }
    std::lock_guard lock(engine_guard_);
    engine_.reset();
}

void TaPlugin::kvrPluginProcessData(PPluginCallRec rec, int32_t& Result) {
    Result = 0;
    std::shared_ptr<AggregationEngine> engine = Engine();
    // A memory fault in the host's packet must not keep an engine that UNLOAD dropped.
    const FaultCleanup drop_engine{
        [](void* held) { static_cast<std::shared_ptr<AggregationEngine>*>(held)->reset(); },
        &engine};
    TkvrParamsList* const rows = OutputRows.ForThisThread();
    if (!engine || !rows) return;
    // Only a list may be read as a list: any other DataKind is a call without data.
    const bool has_list = rec->DataKind == KVR_DATAKIND_PARAMS_LIST && rec->Data;
    engine->ProcessPacket(has_list ? static_cast<const kvr_params_list*>(rec->Data) : nullptr,
                          GetTickCount(), *rows);
}

void TaPlugin::kvrPluginLoadSettingsNow() {
    std::lock_guard lock(settings_guard_);
    if (Settings) Settings->LoadSettings();
}

void TaPlugin::kvrPluginSaveSettingsNow() {
    std::lock_guard lock(settings_guard_);
    if (Settings) Settings->SaveSettings();
}

void TaPlugin::ReplaceSettings(std::unique_ptr<TDataSourceCfg> settings) {
    std::unique_ptr<TDataSourceCfg> previous;
    std::lock_guard lock(settings_guard_);
    previous = std::exchange(Settings, std::move(settings));
}

void RegisterAggregationModule() {
    RegisterPluginClass<TaPlugin>();
}

} // namespace kvr
