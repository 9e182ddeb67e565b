#pragma once
// The aggregation filter's options form: up to eight variable names (picked from the host's
// parser items or typed), the aggregation timeout and the no-reset option. Its control values
// travel to and from the settings store through the module's property map, never directly
// into the engine: OK saves everything, any other close saves only the form's geometry, and
// after OK the module loads a new settings object from the store.

#include "filter/plugin_dm.h"
#include "help/html_help.h"
#include "ui/buttons.h"
#include "ui/combo_box.h"
#include "ui/containers.h"
#include "ui/form.h"
#include "ui/spin_edit.h"
#include "ui/static_controls.h"

#include <array>

namespace kvr {

class TfrmOption : public ui::TForm {
    KVR_REFLECTED_CLASS()

  public:
    // Builds the form from its definition and runs FormCreate. The module outlives the form.
    explicit TfrmOption(TaPlugin& module);

    // The controls, owned by the form.
    ui::TLabel* Label1 = nullptr;
    ui::TGroupBox* gbParams = nullptr;
    std::array<ui::TComboBox*, 8> var{}; // var1 .. var8
    ui::TLabel* Label2 = nullptr;
    ui::TSpinEdit* spTimeout = nullptr;
    ui::TCheckBox* chkNoReset = nullptr;
    ui::TPanel* pBot = nullptr;
    ui::TBevel* Bevel6 = nullptr;
    ui::TButton* btnOK = nullptr;
    ui::TButton* btnCancel = nullptr;
    THtmlHelp* HtmlHelp = nullptr;

    // Prepares the form: caption, help file, the variable lists from the parser items,
    // translation, design bounds, the stored values and geometry, placement. A failure stops
    // the preparation where it happened; the form still shows.
    void FormCreate();
    // Saves the whole property map after OK, otherwise only the geometry.
    void FormClose(ui::TCloseAction& Action);
    // Centres the two buttons in the bottom panel.
    void pBotResize();

  private:
    TaPlugin& module_;
};

// The module's OnShowOptionsDialog: runs the form modally; after OK a new settings object is
// loaded from the store (restarting collection with it) and Success becomes true. An
// exception while loading it leaves the previous settings in place and Success false.
void kvrPluginShowOptionsDialog(TaPlugin& module, PPluginCallRec pCallRec, bool& Success);

} // namespace kvr
