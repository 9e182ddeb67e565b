#pragma once
// A small options form and the settings object that mirrors it, with one property map for
// both, as a module keeps them: the store tests load and save them in every store.

#include "component/combo_box.h"
#include "component/string_list.h"
#include "settings/big_ini_file.h"
#include "settings/proxy_object.h"

#include <cstdint>
#include <string>

namespace kvr::testing {

// A combo box: a text and the selected one of three items.
class TStoreCombo : public TComponent, public IComboBox {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t ItemIndex() const override { return index_; }
    void SetItemIndex(std::int32_t index) override {
        index_ = index >= -1 && index < 3 ? index : -1;
    }
    std::string text_;
    std::int32_t index_ = -1;
};

// A control with a value of each kind the form needs, and two awkward ones.
class TStoreEdit : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    double value_ = 0.0;
    bool checked_ = false;
    std::int32_t left_ = 0;
    float small_ = 0.0f;  // "Small": a single, so big numbers are out of its range
    std::string fragile_; // "Fragile": its setter refuses every value
    TComponentRef<TComponent> partner_;
};

class TStoreForm : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    TStoreForm();
    TStoreCombo& var1() const;
    TStoreCombo& var2() const;
    TStoreEdit& spTimeout() const;
    TStoreEdit& chkNoReset() const;

    std::int32_t left_ = 314, top_ = 184, height_ = 300, width_ = 389;
};

class TStoreSettings : public TProxyCodeCustomObject {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t left_ = 314, top_ = 184, height_ = 300, width_ = 389;
    std::string var1_text_, var2_text_;
    double timeout_ = 0.0;
    bool no_reset_ = false;
};

// The map of form and settings object: geometry (the short map), two texts, the timeout, the
// check box, and the selected index of var1 through the combo-box handler.
TStringList StoreMap();

// Fills form and settings with values that differ from the initial ones and need escaping.
void FillDistinctValues(TStoreForm& form);
void FillDistinctValues(TStoreSettings& settings);

// A complete value set that concurrent writers store into one INI file.
struct ValueSet {
    const char* var1;
    const char* var2;
    double timeout;
    bool no_reset;
};

// The map of the concurrent-save tests: a save counter (Left, stored as Stats\Saves) and a set.
TStringList counting_map();

// Counts one save in the file and stores a complete set, all under the file's lock, rounds
// times. 0 when every save went through, 2 when one failed.
int save_repeatedly(const std::string& path, const ValueSet& set, int rounds);

// True when section Common holds exactly set, and nothing else.
bool holds_set(const TBigIniFile& ini, const ValueSet& set);

} // namespace kvr::testing
