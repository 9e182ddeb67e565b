#pragma once
// TWreg: runs a property map (settings/map_lines.h) against one of three stores and copies
// every line's value into a root object (Load) or out of it (Save).
//
//   INIFile "$CUSTOM$"                              the custom store (ReadCustomValue /
//                                                   WriteCustomValue; TWreg keeps nothing)
//   INIFile set, and the file exists or saving      the INI file, under the file's
//                                                   inter-process lock (settings/ini_file_lock.h)
//   otherwise                                       the registry key RegistryPath under
//                                                   RegistryRoot, else under SecondRegistryRoot
//
// Where a line's value lives follows from its storage name (settings/value_location.h); how
// it is encoded follows from the property's kind (settings/registry_access.h for the
// registry; INI entries hold decimal integers, numbers in general format with the locale's
// decimal separator, and texts). A value that is empty or null when saved removes the stored
// value. A failure on one line never stops the others.
//
// A TWreg is used by one thread at a time, for one operation after another; it holds the root
// object only while Load or Save runs.

#include "component/component.h"
#include "component/prop_value.h"
#include "component/string_list.h"
#include "component/type_kind.h"
#include "settings/registry_root.h"
#include "settings/wreg_platform.h"

#include <functional>
#include <string>
#include <vector>

namespace kvr {

class TWreg;

// Receives the loaded value of a virtual line (one without a property of its own).
using TSetValueProc =
    std::function<void(TWreg& Sender, const std::string& Name, int Index, const PropValue& Value)>;
// Supplies the value of a virtual line for saving.
using TGetValueProc =
    std::function<void(TWreg& Sender, const std::string& Name, int Index, PropValue& Value)>;
// Sees each line before it is processed and may veto it (IsRequireProcessing := false), make
// it virtual, or change the kind its value is stored as.
using TBeforeProcessItemProc =
    std::function<void(TWreg& Sender, const std::string& Name, int Index, bool& IsRequireProcessing,
                       bool& IsVirtual, TTypeKind& ItemType)>;

namespace wreg_detail {
class OpenStore;
class ValueSlot;
struct LineContext;
} // namespace wreg_detail

class TWreg : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    TWreg();

    // ---- Published properties, in this order ----
    TRegistryRoot RegistryRoot = rrHKEY_LOCAL_MACHINE;
    TRegistryRoot SecondRegistryRoot = rrHKEY_CURRENT_USER;
    std::string RegistryPath = "\\Software\\Company name\\App name";
    std::string INIFile;              // "$CUSTOM$" selects the custom store
    std::string INIFileSectionPrefix; // put in front of every INI section name
    // The property map. (This member hides TComponent::Components(int); a TWreg owns no
    // components.)
    TStringList Components;
    TSetValueProc SetValue;
    TGetValueProc GetValue;
    TBeforeProcessItemProc BeforeProcessItem;

    // Copies every line's stored value into root's properties (root nullptr: the application's
    // main form). A missing value leaves its property as it is. A stored value that does not
    // fit its property (a registry value of the wrong type, an enumeration name or number the
    // property rejects) leaves the property as it is and, in the registry, is deleted, so the
    // next save writes it afresh; an INI entry is never changed by loading.
    // Returns false, touching nothing, when the registry store finds no usable root; true
    // otherwise. Throws EFOpenError / EFReadError, after the file lock is released, when the
    // INI file exists but cannot be read.
    bool Load(TComponent* root);

    // Stores every line's value out of root. Returns false, touching nothing, when the
    // registry store finds no usable root, and false when the INI file could not be written
    // back (its previous contents then stay whole); true otherwise, even when single lines
    // failed. Throws as Load when the INI file exists but cannot be read (nothing is written).
    bool Save(TComponent* root);

    // What went wrong in the last Load or Save, one text per failure, for the log: the INI
    // file that could not be written back (the file then keeps its previous contents), a
    // registry location that could not be opened for saving, a value that could not be
    // stored. Empty after an operation without failures.
    const std::vector<std::string>& Errors() const { return errors_; }

    // The root object of the operation in progress; nullptr between operations.
    TComponent* Root() const { return root_; }

    // Replaces the registry and INI platform pieces (tests); DefaultWregPlatform() at first.
    void SetPlatform(WregPlatform platform) { platform_ = std::move(platform); }
    const WregPlatform& Platform() const { return platform_; }

    static constexpr std::string_view kCustomStoreName = "$CUSTOM$";

  protected:
    // Hands a loaded value to SetValue when assigned; text is unescaped first.
    virtual void DoSetValue(TWreg& Sender, const std::string& Name, const PropValue& Value,
                            int Index);
    // Asks GetValue for a value when assigned; text it gives is escaped.
    virtual void DoGetValue(TWreg& Sender, const std::string& Name, PropValue& Value, int Index);
    // Writes one value to the custom store; TWreg keeps nothing.
    virtual void WriteCustomValue(const std::string& Name, const PropValue& Value,
                                  const std::string& ValueName, const std::string& Section,
                                  TTypeKind ItemType, int Index);
    // Looks one value up in the custom store: true with Value filled when found; TWreg finds
    // nothing.
    virtual bool ReadCustomValue(const std::string& Name, PropValue& Value,
                                 const std::string& ValueName, const std::string& Section,
                                 TTypeKind ItemType, int Index);
    // Calls BeforeProcessItem when assigned.
    virtual void DoBeforeProcessItem(TWreg& Sender, const std::string& Name, int Index,
                                     bool& IsRequireProcessing, bool& IsVirtual,
                                     TTypeKind& ItemType);

  private:
    bool run(TComponent* root, bool saving);
    std::string line_failure(int index, const std::string& what) const;
    std::unique_ptr<wreg_detail::OpenStore> open_store(bool saving);
    void process_line(wreg_detail::OpenStore& store, int index, bool saving);
    void load_value(wreg_detail::ValueSlot& slot, const wreg_detail::LineContext& line);
    void save_value(wreg_detail::ValueSlot& slot, const wreg_detail::LineContext& line);
    void run_handlers(wreg_detail::ValueSlot& slot, const wreg_detail::LineContext& line,
                      bool saving);

    TComponent* root_ = nullptr;
    WregPlatform platform_;
    std::vector<std::string> errors_;
};

} // namespace kvr
