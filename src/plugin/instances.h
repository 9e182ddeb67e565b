#pragma once
// The library's registry of module instances, one per host key.

#include "plugin/plugin_module.h"

#include <functional>
#include <memory>

namespace kvr {

// Makes a fully constructed instance of the registered module class.
using PluginFactory = std::function<std::unique_ptr<TkvrPlugin>(const TPluginCallRec*)>;

// Makes an instance of T (derived from TkvrPlugin) and runs its last construction steps.
template <class T> std::unique_ptr<TkvrPlugin> CreatePlugin(const TPluginCallRec* pCallRec) {
    auto plugin = std::make_unique<T>(pCallRec);
    plugin->AfterConstruction();
    return plugin;
}

// Replaces the class that new instances are made of.
void RegisterPluginClass(PluginFactory factory);
template <class T> void RegisterPluginClass() {
    RegisterPluginClass(&CreatePlugin<T>);
}

// Finds (or on a new key creates) the record's instance; releases it on CallMode 0xFF.
// Answers the instance, or null: for no record, key 0, a release, 0xFE, or after shutdown.
// An exception from the instance's construction propagates; nothing is registered then.
TkvrPlugin* FindPlugin(const TPluginCallRec* pCallRec);

// Makes the registry; library start-up.
void StartPluginInstances();
// Takes the registry out of reach of later calls and destroys every instance in list order,
// without UNLOAD. Library shutdown.
void StopPluginInstances();
// True while the registry exists.
bool PluginInstancesExist();
// The number of live instances (0 without a registry).
int PluginInstanceCount();
// Runs `visit` for each live instance under the registry's shared lock.
void ForEachPlugin(const std::function<void(TkvrPlugin&)>& visit);

} // namespace kvr
