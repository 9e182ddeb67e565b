#include "plugin/instances.h"

#include <atomic>
#include <mutex>

namespace kvr {

namespace {

using Registry = TThreadObjectList<TkvrPlugin>;

// Library-wide: the live registry (null before start-up and once shutdown has begun).
std::atomic<Registry*> g_instances{nullptr};

std::mutex& factory_guard() {
    static std::mutex guard;
    return guard;
}
PluginFactory& plugin_factory() {
    static PluginFactory factory = &CreatePlugin<TkvrPlugin>;
    return factory;
}
PluginFactory current_factory() {
    std::lock_guard lock(factory_guard());
    return plugin_factory();
}

TkvrPlugin* find_key(const ObjectList<TkvrPlugin>& list, uint32_t key, int* index = nullptr) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list[i]->InstanceKey == key) {
            if (index) *index = i;
            return list[i];
        }
    }
    return nullptr;
}

} // namespace

void RegisterPluginClass(PluginFactory factory) {
    std::lock_guard lock(factory_guard());
    plugin_factory() = std::move(factory);
}

void StartPluginInstances() {
    auto* fresh = new Registry(false);
    Registry* expected = nullptr;
    if (!g_instances.compare_exchange_strong(expected, fresh)) delete fresh;
}

PluginRef& PluginRef::operator=(PluginRef&& other) noexcept {
    if (this != &other) {
        reset();
        plugin_ = other.plugin_;
        other.plugin_ = nullptr;
    }
    return *this;
}

void PluginRef::reset() noexcept {
    TkvrPlugin* const plugin = plugin_;
    plugin_ = nullptr;
    if (plugin && --plugin->References == 0) delete plugin;
}

void StopPluginInstances() {
    std::unique_ptr<Registry> registry(g_instances.exchange(nullptr));
    if (!registry) return;
    auto list = registry->LockList();
    while (list->Count() > 0)
        PluginRef(list->Extract(0)).reset(); // the registry's reference
}

bool PluginInstancesExist() {
    return g_instances.load() != nullptr;
}

int PluginInstanceCount() {
    Registry* registry = g_instances.load();
    return registry ? registry->Count() : 0;
}

void ForEachPlugin(const std::function<void(TkvrPlugin&)>& visit) {
    Registry* registry = g_instances.load();
    if (!registry) return;
    auto list = registry->LockListRead();
    for (TkvrPlugin* plugin : *list)
        visit(*plugin);
}

PluginRef FindPlugin(const TPluginCallRec* pCallRec) {
    if (!pCallRec) return {};
    if (pCallRec->CallMode == KVR_CALLMODE_LIBRARY_UNLOAD) {
        // Nothing runs in the background here, so there is nothing to stop before unloading.
        return {};
    }
    Registry* registry = g_instances.load();
    if (pCallRec->InstanceKey == 0 || !registry) return {};

    const uint32_t key = pCallRec->InstanceKey;
    auto reading = registry->LockListRead();
    int index = -1;
    TkvrPlugin* plugin = find_key(*reading, key, &index);
    if (plugin && pCallRec->CallMode == KVR_CALLMODE_RELEASE) {
        PluginRef registered;
        {
            auto writing = registry->LockList();
            // Another writer may have run while we asked for the lock: look again.
            if (find_key(*writing, key, &index)) registered = PluginRef(writing->Extract(index));
        }
        return {}; // the registry's reference goes here; a running call may hold another
    }
    if (!plugin) {
        auto writing = registry->LockList();
        // Two first calls with one new key may both get here; the second finds the first's.
        plugin = find_key(*writing, key);
        if (!plugin) {
            std::unique_ptr<TkvrPlugin> made = current_factory()(pCallRec);
            made->InstanceKey = key;
            plugin = made.get();
            writing->Add(std::move(made)); // with the registry's reference
        }
    }
    // Under the shared hold no release can take the instance away before it is counted.
    ++plugin->References;
    return PluginRef(plugin);
}

} // namespace kvr
