#include "plugin/form_placement.h"

#include "component/application.h"
#include "ui/form.h"
#include "ui/screen.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>

namespace kvr {

namespace {

ui::Rect form_rect(const ui::TForm& form) {
    const std::int64_t left = form.Left();
    const std::int64_t top = form.Top();
    return {left, top, left + form.Width(), top + form.Height()};
}

ui::Rect from_rect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

std::int32_t to_int32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// The rectangle to centre over: the host's window, the main form, the cursor's monitor.
std::optional<ui::Rect> reference_rect(const TkvrPlugin& module) {
    if (module.OwnerForm)
        if (const auto owner = ui::WindowScreenRect(module.OwnerForm)) return owner;
    if (auto* main = dynamic_cast<ui::TForm*>(Application().MainForm()))
        if (const auto rect = ui::WindowScreenRect(main->ExistingHandle())) return rect;
    return ui::MonitorUnderCursor();
}

} // namespace

int ParserItemCount(const TkvrPlugin& Module) {
    return Module.ParserItemCount();
}

TParserItem GetParserItem(const TkvrPlugin& Module, int Index) {
    return Module.GetParserItem(Index);
}

std::vector<std::string> ParserItemNames(TkvrPlugin& Module) {
    std::lock_guard lock(Module.CommandLock);
    std::vector<std::string> names;
    const int count = ParserItemCount(Module);
    for (int i = 0; i < count; ++i)
        names.push_back(GetParserItem(Module, i).Name);
    return names;
}

void TranslateOptionsForm(TkvrPlugin& Module, ui::TForm&) {
    std::lock_guard lock(Module.CommandLock);
    if (Module.Language.empty()) Module.Language = "NONE";
}

void RememberDesignBounds(TkvrPlugin& Module, const ui::TForm& Form) {
    const ui::Rect bounds = form_rect(Form);
    Module.FormBounds = {to_int32(bounds.left), to_int32(bounds.top), to_int32(bounds.right),
                         to_int32(bounds.bottom)};
}

bool KeepRestoredBounds(const TkvrPlugin& Module, const ui::TForm& Form) {
    return ui::keep_restored_bounds(Module.OwnerForm != nullptr, from_rect(Module.FormBounds),
                                    form_rect(Form), ui::DesktopRect());
}

bool IsOffScreen(const ui::TForm& Form) {
    return ui::is_off_screen(form_rect(Form), ui::DesktopRect());
}

bool CentreOverOwner(const TkvrPlugin& Module, ui::TForm& Form) {
    const std::optional<ui::Rect> reference = reference_rect(Module);
    if (!reference) return false;
    const ui::Rect centred = ui::centred_over(*reference, form_rect(Form));
    Form.SetBounds(to_int32(centred.left), to_int32(centred.top), Form.Width(), Form.Height());
    return true;
}

} // namespace kvr
