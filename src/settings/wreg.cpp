#include "settings/wreg.h"

#include "settings/custom_props.h"
#include "settings/escaping.h"
#include "settings/map_lines.h"
#include "settings/wreg_stores.h"

namespace kvr {

using wreg_detail::LineContext;
using wreg_detail::OpenStore;
using wreg_detail::ValueSlot;

namespace {

// A component reference stored as this text is cleared on load.
constexpr std::string_view kNullReferenceText = "[[Null]]";

// Forgets the root object when the operation ends, however it ends.
class RootScope {
  public:
    RootScope(TComponent*& slot, TComponent* root) : slot_(slot) { slot_ = root; }
    ~RootScope() { slot_ = nullptr; }
    RootScope(const RootScope&) = delete;
    RootScope& operator=(const RootScope&) = delete;

  private:
    TComponent*& slot_;
};

bool names_handler(const ResolvedPath& target) {
    return target.object != nullptr && !target.property_name.empty() &&
           target.property_name.front() == '*';
}

} // namespace

const std::vector<std::string>& RegistryRootNames() {
    static const std::vector<std::string> names{"rrHKEY_CLASSES_ROOT",   "rrHKEY_CURRENT_USER",
                                                "rrHKEY_LOCAL_MACHINE",  "rrHKEY_USERS",
                                                "rrHKEY_CURRENT_CONFIG", "rrNone"};
    return names;
}

const ClassInfo& TWreg::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TWreg>("TWreg", TComponent::StaticClassInfo())
            .enumeration("RegistryRoot", RegistryRootNames(), &TWreg::RegistryRoot)
            .enumeration("SecondRegistryRoot", RegistryRootNames(), &TWreg::SecondRegistryRoot)
            .ansi_string("RegistryPath", &TWreg::RegistryPath)
            .ansi_string("INIFile", &TWreg::INIFile)
            .ansi_string("INIFileSectionPrefix", &TWreg::INIFileSectionPrefix)
            .object<TStringList>(
                "Components", [](TWreg& wreg) { return &wreg.Components; },
                [](TWreg& wreg, TStringList* lines) {
                    if (lines) {
                        wreg.Components.Assign(*lines);
                    } else {
                        wreg.Components.Clear();
                    }
                })
            // Events are bound in code; the table lists them so that they are seen.
            .custom("SetValue", tkMethod, {})
            .custom("GetValue", tkMethod, {})
            .custom("BeforeProcessItem", tkMethod, {})
            .build();
    return info;
}

TWreg::TWreg() : platform_(DefaultWregPlatform()) {}

bool TWreg::Load(TComponent* root) {
    return run(root, false);
}

bool TWreg::Save(TComponent* root) {
    return run(root, true);
}

std::string TWreg::line_failure(int index, const std::string& what) const {
    return "map line " + std::to_string(index) + " \"" + Components.Get(index) + "\": " + what;
}

bool TWreg::run(TComponent* root, bool saving) {
    const RootScope scope(root_, root);
    errors_.clear();
    const std::unique_ptr<OpenStore> store = open_store(saving);
    if (!store) {
        if (saving)
            errors_.push_back("No registry key \"" + RegistryPath +
                              "\" could be opened or created with full access under either root");
        return false;
    }
    for (int index = 0; index < Components.Count(); ++index) {
        try {
            process_line(*store, index, saving);
        } catch (const std::exception& error) {
            // a failure stays with its line
            if (saving) errors_.push_back(line_failure(index, error.what()));
        } catch (...) {
            if (saving) errors_.push_back(line_failure(index, "unknown failure"));
        }
    }
    const bool finished = store->Finish();
    if (!finished) errors_.push_back(store->FailureText());
    return finished;
}

std::unique_ptr<OpenStore> TWreg::open_store(bool saving) {
    if (INIFile == kCustomStoreName) {
        return wreg_detail::OpenCustomStore(
            [this](const LineContext& line, PropValue& value, const std::string& value_name,
                   const std::string& section) {
                return ReadCustomValue(line.target.property_name, value, value_name, section,
                                       line.kind, line.index);
            },
            [this](const LineContext& line, const PropValue& value, const std::string& value_name,
                   const std::string& section) {
                WriteCustomValue(line.target.property_name, value, value_name, section, line.kind,
                                 line.index);
            },
            INIFileSectionPrefix);
    }
    if (!INIFile.empty()) {
        ini::IniPlatform ini =
            platform_.ini_platform ? platform_.ini_platform() : ini::IniPlatform{};
        if (!ini.files) ini.files = ini::standard_file_access();
        if (saving || ini.files->file_exists(INIFile))
            return wreg_detail::OpenIniStore(INIFile, std::move(ini), INIFileSectionPrefix);
    }
    return wreg_detail::OpenRegistryStore(platform_.registry, RegistryRoot, SecondRegistryRoot,
                                          RegistryPath, saving);
}

void TWreg::process_line(OpenStore& store, int index, bool saving) {
    const std::optional<MapLine> line = ParseMapLine(Components.Get(index));
    if (!line) return;
    const ValueLocation location = SplitStorageName(line->storage_name);
    // A line without a value name has no place of its own: in an INI file an entry without a
    // name would stand for its whole section.
    if (location.value_name.empty()) return;
    const std::unique_ptr<ValueSlot> slot = store.OpenSlot(location);
    if (!slot) {
        if (saving)
            errors_.push_back(line_failure(index, "the place of \"" + line->storage_name +
                                                      "\" cannot be opened or created"));
        return;
    }

    LineContext context;
    context.index = index;
    context.target = ResolvePath(root_, line->control_path);
    context.kind = context.target.kind;
    bool require_processing = context.target.object != nullptr;
    context.is_virtual = !require_processing;
    DoBeforeProcessItem(*this, context.target.property_name, index, require_processing,
                        context.is_virtual, context.kind);
    if (!require_processing) return;

    if (context.kind == tkUnknown) {
        if (names_handler(context.target)) run_handlers(*slot, context, saving);
        return;
    }
    if (saving) {
        save_value(*slot, context);
    } else {
        load_value(*slot, context);
    }
}

void TWreg::load_value(ValueSlot& slot, const LineContext& line) {
    try {
        std::optional<PropValue> value = slot.Read(line);
        if (!value) return;
        if (line.kind == tkClass && value->is_text() && value->to_text() == kNullReferenceText)
            value = PropValue::Null();
        if (line.is_virtual) {
            DoSetValue(*this, line.target.property_name, *value, line.index);
        } else {
            WriteProperty(line.target.object, line.target.property_name, line.target.owner, *value,
                          line.kind);
        }
    } catch (const EConvertError&) {
        // The stored value does not fit the property (wrong type, unknown name, out of range):
        // the property keeps its value and the next save stores it afresh. Other failures
        // (a setter that refuses for reasons of its own) leave the stored value alone.
        slot.DeleteRejected();
    }
}

void TWreg::save_value(ValueSlot& slot, const LineContext& line) {
    PropValue value;
    if (line.is_virtual) {
        DoGetValue(*this, line.target.property_name, value, line.index);
    } else {
        value = ReadProperty(line.target.object, line.target.property_name, line.kind, true);
    }
    try {
        slot.Write(line, value);
    } catch (const std::exception& error) {
        errors_.push_back(line_failure(line.index, error.what()));
        slot.DeleteRejected(); // no stale value of the wrong type stays behind
    }
}

void TWreg::run_handlers(ValueSlot& slot, const LineContext& line, bool saving) {
    const std::string name = line.target.property_name.substr(1);
    const auto handlers = WregCustomProps().Lock(); // held across the whole step
    const std::vector<TWregCustomProp*> found = handlers.HandlersFor(name);
    if (found.empty()) return;
    if (saving) {
        for (TWregCustomProp* handler : found) {
            PropValue value;
            if (handler->GetComponentValue(line.target.object, name, value) &&
                !value.is_empty_or_null())
                slot.WriteText(value.to_text());
        }
        return;
    }
    const PropValue text(slot.ReadText());
    for (TWregCustomProp* handler : found)
        handler->SetComponentValue(line.target.object, name, text);
}

void TWreg::DoSetValue(TWreg& Sender, const std::string& Name, const PropValue& Value, int Index) {
    if (!SetValue) return;
    PropValue value = Value;
    if (value.is_text()) value = PropValue(UnescapeValue(value.to_text()));
    SetValue(Sender, Name, Index, value);
}

void TWreg::DoGetValue(TWreg& Sender, const std::string& Name, PropValue& Value, int Index) {
    if (!GetValue) return;
    GetValue(Sender, Name, Index, Value);
    if (Value.is_text()) Value = PropValue(EscapeValue(Value.to_text()));
}

void TWreg::WriteCustomValue(const std::string&, const PropValue&, const std::string&,
                             const std::string&, TTypeKind, int) {}

bool TWreg::ReadCustomValue(const std::string&, PropValue&, const std::string&, const std::string&,
                            TTypeKind, int) {
    return false;
}

void TWreg::DoBeforeProcessItem(TWreg& Sender, const std::string& Name, int Index,
                                bool& IsRequireProcessing, bool& IsVirtual, TTypeKind& ItemType) {
    if (BeforeProcessItem)
        BeforeProcessItem(Sender, Name, Index, IsRequireProcessing, IsVirtual, ItemType);
}

} // namespace kvr
