#include "plugin/map_values.h"

#include "plugin/plugin_module.h"
#include "settings/map_lines.h"
#include "settings/wreg.h"

#include <memory>

namespace kvr {

namespace {

// A store configured with the module's settings location.
std::unique_ptr<TWreg> module_store(const TkvrPlugin& module, const TStringList& map) {
    auto store = std::make_unique<TWreg>();
    store->RegistryRoot = module.RegistryRoot;
    store->SecondRegistryRoot = module.SecondRegistryRoot;
    store->RegistryPath = module.RegistryPath;
    store->INIFileSectionPrefix = module.INISectionPrefix;
    store->INIFile = module.INIFile;
    store->SetValue = module.OnSetPropertyValue;
    store->GetValue = module.OnGetPropertyValue;
    store->BeforeProcessItem = module.OnBeforeProcessSettingsItem;
    store->Components = map;
    return store;
}

// Saves root and puts every failure the store met into the module's log.
bool save_and_report(TkvrPlugin& module, const TStringList& map, TComponent* root) {
    const std::unique_ptr<TWreg> store = module_store(module, map);
    const bool saved = store->Save(root);
    for (const std::string& error : store->Errors())
        module.AddLog(lmtError, "Settings not saved: " + error);
    return saved;
}

} // namespace

bool LoadMapValues(const TkvrPlugin& Module, const TStringList* Map, TComponent* Root) {
    if (!Map) return false;
    return module_store(Module, *Map)->Load(Root);
}

bool SaveMapValues(TkvrPlugin& Module, const TStringList* Map, TComponent* Root) {
    if (!Map) return false;
    return save_and_report(Module, *Map, Root);
}

bool SaveShortMapValues(TkvrPlugin& Module, const TStringList* Map, TComponent* Root) {
    if (!Map) return false;
    return save_and_report(Module, ShortMap(*Map), Root);
}

} // namespace kvr
