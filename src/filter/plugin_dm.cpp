#include "filter/plugin_dm.h"

#include "plugin/instances.h"

namespace kvr {

namespace {
// The module definition: the values and handlers a host sees for this module.
void define_module(TaPlugin& module) {
    module.Description = "Aggregation";
    module.LogTitle = "Aggregation";
    module.MinVersion = 4.0f;
    module.ModuleType = module_type_bit(mttFilter);
    module.ModuleOptions = 0;
    module.EventsSupported.clear();
    module.IsMultiThreadSupported = true;
}
} // namespace

TaPlugin::TaPlugin(const TPluginCallRec* pCallRec) : TkvrPlugin(pCallRec) {
    define_module(*this);
}

void RegisterAggregationModule() {
    RegisterPluginClass<TaPlugin>();
}

} // namespace kvr
