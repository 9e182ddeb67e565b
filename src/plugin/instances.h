#pragma once
// The library's registry of module instances, one per host key.

#include "common/fault_cleanup.h"
#include "plugin/plugin_module.h"

#include <functional>
#include <memory>

namespace kvr {

// Keeps an instance alive while a call works on it. A release (CallMode 0xFF) takes the
// instance out of the registry at once; the last reference destroys it, so a call that is
// still running on another thread finishes on a live instance. A memory fault that abandons
// the holder's frame drops the reference as well.
class PluginRef {
  public:
    PluginRef() = default;
    // Takes over one reference that the instance already counts.
    explicit PluginRef(TkvrPlugin* plugin) noexcept : plugin_(plugin) {}
    PluginRef(PluginRef&& other) noexcept : plugin_(other.plugin_) { other.plugin_ = nullptr; }
    PluginRef& operator=(PluginRef&& other) noexcept;
    ~PluginRef() { reset(); }
    PluginRef(const PluginRef&) = delete;
    PluginRef& operator=(const PluginRef&) = delete;

    TkvrPlugin* get() const { return plugin_; }
    TkvrPlugin* operator->() const { return plugin_; }
    TkvrPlugin& operator*() const { return *plugin_; }
    explicit operator bool() const { return plugin_ != nullptr; }
    // Drops the reference (destroying the instance when it was the last).
    void reset() noexcept;

  private:
    static void drop_after_fault(void* self) { static_cast<PluginRef*>(self)->reset(); }

    TkvrPlugin* plugin_ = nullptr;
    FaultCleanup fault_cleanup_{&drop_after_fault, this};
};

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
// Answers a reference to the instance, or an empty one: for no record, key 0, a release, 0xFE,
// or after shutdown. An exception from the instance's construction propagates; nothing is
// registered then.
PluginRef FindPlugin(const TPluginCallRec* pCallRec);

// Makes the registry; library start-up.
void StartPluginInstances();
// Takes the registry out of reach of later calls and destroys every instance in list order,
// without UNLOAD (an instance a call still works on goes when that call ends). Library shutdown.
void StopPluginInstances();
// True while the registry exists.
bool PluginInstancesExist();
// The number of live instances (0 without a registry).
int PluginInstanceCount();
// Runs `visit` for each live instance under the registry's shared lock.
void ForEachPlugin(const std::function<void(TkvrPlugin&)>& visit);

} // namespace kvr
