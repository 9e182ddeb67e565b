#include "filter/filter_main.h"

#include "component/application.h"
#include "component/text_platform.h"
#include "plugin/form_placement.h"
#include "plugin/map_values.h"
#include "ui/window_classes.h"

#include <memory>
#include <mutex>

namespace kvr {

namespace {

constexpr std::int32_t kHelpContextOptions = 80;
constexpr std::int32_t kNotTranslated = 9999; // Tag of controls the translator leaves alone

// The form's design, at 96 pixels per inch: outer bounds, then each control's place.
constexpr std::int32_t kFormLeft = 314, kFormTop = 184, kFormWidth = 389, kFormHeight = 336;
constexpr std::int32_t kFormMinWidth = 350, kFormMinHeight = 300, kFormBorderWidth = 3;
constexpr ui::TAnchors kLeftColumnAnchors = ui::anchors_of({ui::akLeft, ui::akTop, ui::akRight});
constexpr ui::TAnchors kRightColumnAnchors = ui::anchors_of({ui::akTop, ui::akRight});
constexpr std::int32_t kVariableTops[4] = {20, 48, 76, 104};

const ui::Placement kLabel1{0, 0, 367, 45, ui::alTop};
const ui::Placement kParamsBox{0, 45, 367, 137, ui::alTop, ui::kDefaultAnchors, 1};
const ui::Placement kLabel2{4, 188, 157, 26};
const ui::Placement kTimeout{164, 192, 81, 21, ui::alNone, ui::kDefaultAnchors, 2};
const ui::Placement kNoReset{4, 224, 357, 17, ui::alNone, ui::kDefaultAnchors, 3};
const ui::Placement kBottomPanel{0, 246, 367, 45, ui::alBottom, ui::kDefaultAnchors, 0};
const ui::Placement kBevel{0, 0, 367, 9, ui::alTop};
const ui::Placement kOkButton{106, 16, 75, 25, ui::alNone, ui::kDefaultAnchors, 0};
const ui::Placement kCancelButton{185, 16, 75, 25, ui::alNone, ui::kDefaultAnchors, 1};

// var1, var3, var5, var7 on the left (stretching with the box); var2 .. var8 on the right.
ui::Placement variable_placement(int index) {
    const bool left_column = index % 2 == 0;
    return {left_column ? 10 : 195,
            kVariableTops[index / 2],
            left_column ? 173 : 170,
            21,
            ui::alNone,
            left_column ? kLeftColumnAnchors : kRightColumnAnchors,
            index};
}

template <class T>
T* place(TfrmOption& form, ui::TWinControl& parent, const char* name,
         const ui::Placement& placement) {
    T& control = form.CreateComponent<T>();
    control.SetName(name);
    control.Place(parent, placement);
    return &control;
}

std::string with_extension(const std::string& file_name, const char* extension) {
    const std::size_t dot = file_name.find_last_of('.');
    return (dot == std::string::npos ? file_name : file_name.substr(0, dot)) + extension;
}

std::u16string wide(const std::string& text) {
    return text_platform().ansi_to_wide(text);
}

// The form's definition: the values and handlers its resource would set.
void define_form(TfrmOption& form) {
    form.SetName("frmOption");
    form.DisableAlign(); // controls take their design places first
    form.SetBounds(kFormLeft, kFormTop, kFormWidth, kFormHeight);
    form.Constraints().MinWidth = kFormMinWidth;
    form.Constraints().MinHeight = kFormMinHeight;
    form.SetBorderIcons(ui::border_icon_bit(ui::biSystemMenu) | ui::border_icon_bit(ui::biHelp));
    form.Font().SetName("MS Sans Serif");
    form.Font().SetHeight(-11);
    form.SetKeyPreview(true);
    form.SetHelpContext(kHelpContextOptions);
    form.Handle();
    form.SetBorderWidth(kFormBorderWidth);

    // Windowed controls in tab order; the labels after them.
    form.pBot = place<ui::TPanel>(form, form, "pBot", kBottomPanel);
    form.pBot->SetBevelOuter(ui::bvNone);
    form.pBot->SetHelpContext(kHelpContextOptions);
    form.btnOK = place<ui::TButton>(form, *form.pBot, "btnOK", kOkButton);
    form.btnOK->SetCaption(u"OK");
    form.btnOK->SetModalResult(ui::mrOk);
    form.btnCancel = place<ui::TButton>(form, *form.pBot, "btnCancel", kCancelButton);
    form.btnCancel->SetCaption(u"Cancel");
    form.btnCancel->SetModalResult(ui::mrCancel);
    form.btnCancel->SetDefault(true);
    form.btnCancel->SetCancel(true);
    form.Bevel6 = place<ui::TBevel>(form, *form.pBot, "Bevel6", kBevel);
    form.Bevel6->SetShape(ui::bsBottomLine);

    form.gbParams = place<ui::TGroupBox>(form, form, "gbParams", kParamsBox);
    form.gbParams->SetCaption(u"Aggregate variables");
    for (int i = 0; i < 8; ++i) {
        const std::string name = "var" + std::to_string(i + 1);
        form.var[i] =
            place<ui::TComboBox>(form, *form.gbParams, name.c_str(), variable_placement(i));
        form.var[i]->SetTag(kNotTranslated);
    }
    form.spTimeout = place<ui::TSpinEdit>(form, form, "spTimeout", kTimeout);
    form.spTimeout->SetTag(kNotTranslated);
    form.chkNoReset = place<ui::TCheckBox>(form, form, "chkNoReset", kNoReset);
    form.chkNoReset->SetCaption(u"Do not reset aggregation state (data grouping)");

    form.Label1 = place<ui::TLabel>(form, form, "Label1", kLabel1);
    form.Label1->SetWordWrap(true);
    form.Label1->SetHelpContext(kHelpContextOptions);
    form.Label1->SetCaption(u"Specify one or more variables to aggregate. The module will not "
                            u"send a data record to a data export module until the aggregation "
                            u"isn't complete");
    form.Label2 = place<ui::TLabel>(form, form, "Label2", kLabel2);
    form.Label2->SetWordWrap(true);
    form.Label2->SetLayout(ui::tlCenter);
    form.Label2->SetCaption(u"Aggregation timeout (ms)");

    form.HtmlHelp = &form.CreateComponent<THtmlHelp>();
    form.HtmlHelp->SetName("HtmlHelp");
    form.HtmlHelp->SetTag(kNotTranslated);

    form.SetActiveControl(form.btnCancel);
    form.OnCreate = [](ui::TForm& sender) { static_cast<TfrmOption&>(sender).FormCreate(); };
    form.OnClose = [](ui::TForm& sender, ui::TCloseAction& action) {
        static_cast<TfrmOption&>(sender).FormClose(action);
    };
    form.pBot->OnResize = [&form](ui::TPanel&) { form.pBotResize(); };
    form.EnableAlign();
    form.pBotResize(); // also when the layout left the panel's width as designed
}

} // namespace

const ClassInfo& TfrmOption::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TfrmOption>("TfrmOption", ui::TForm::StaticClassInfo()).build();
    return info;
}

TfrmOption::TfrmOption(TaPlugin& module) : module_(module) {
    define_form(*this);
    FinishCreation();
}

void TfrmOption::FormCreate() {
    try {
        SetCaption(wide(module_.Description + " " + module_.VersionText));

        const std::string help_file =
            module_.ModulePath + with_extension(module_.ModuleFileName, ".chm");
        Application().SetHelpFile(help_file);
        HtmlHelp->SetChmFile(help_file);
        SetHelpFile(help_file);

        for (const std::string& name : ParserItemNames(module_))
            var[0]->AddItem(wide(name));
        var[0]->SetSorted(true); // the control sorts them
        const std::vector<std::u16string> items = var[0]->Items();
        for (std::size_t i = 1; i < var.size(); ++i)
            var[i]->SetItems(items);

        TranslateOptionsForm(module_, *this);
        RememberDesignBounds(module_, *this);
        {
            // A command on another thread may change the settings location meanwhile.
            std::lock_guard lock(module_.CommandLock);
            LoadMapValues(module_, &module_.Properties, this);
        }
        if (!KeepRestoredBounds(module_, *this)) CentreOverOwner(module_, *this);
    } catch (...) {
        // The form shows with what was prepared.
    }
}

void TfrmOption::FormClose(ui::TCloseAction&) {
    try {
        std::lock_guard lock(module_.CommandLock);
        if (ModalResult() == ui::mrOk)
            SaveMapValues(module_, &module_.Properties, this);
        else
            SaveShortMapValues(module_, &module_.Properties, this); // the geometry only
    } catch (...) {
        // An unreadable INI file: nothing was written; after OK the reload fails as well.
    }
}

void TfrmOption::pBotResize() {
    if (!pBot || !btnOK || !btnCancel) return;
    btnOK->SetLeft(pBot->ClientWidth() / 2 - btnOK->Width() - 2);
    btnCancel->SetLeft(btnOK->Left() + btnOK->Width() + 4);
}

void kvrPluginShowOptionsDialog(TaPlugin& module, PPluginCallRec, bool& Success) {
    Success = false;
    // The controls take the current common controls when their windows are made; the host's
    // own windows, whose messages the modal run dispatches too, are left as they are.
    auto form = [&] {
        const ui::VisualStylesScope styles;
        return std::make_unique<TfrmOption>(module);
    }();
    form->SetPopupParent(module.OwnerForm ? module.OwnerForm : GetActiveWindow());
    if (form->ShowModal() != ui::mrOk) return;
    auto settings = std::make_unique<TDataSourceCfg>(module);
    settings->LoadSettings(); // reads what FormClose saved and restarts collection with it
    module.ReplaceSettings(std::move(settings));
    Success = true;
}

} // namespace kvr
