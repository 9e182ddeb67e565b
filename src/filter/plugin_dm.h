#pragma once
// The aggregation module: its module definition and its registration as the library's
// module class.

#include "plugin/plugin_module.h"

namespace kvr {

class TaPlugin : public TkvrPlugin {
  public:
    explicit TaPlugin(const TPluginCallRec* pCallRec);
    const char* ClassName() const override { return "TaPlugin"; }
};

// Registers TaPlugin as the class of every instance this library makes.
void RegisterAggregationModule();

} // namespace kvr
