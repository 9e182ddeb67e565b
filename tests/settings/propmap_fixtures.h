#pragma once
// Components for the property map tests: a form with controls of every property kind, a
// combo box, and a settings object mirroring the form's map lines.

#include "component/application.h"
#include "component/combo_box.h"
#include "component/string_list.h"
#include "settings/proxy_object.h"

#include <memory>
#include <string>

namespace kvr::testing {

class TTestFont : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t size_ = 8;
    std::string name_ = "MS Sans Serif";
};

enum class TAlign { alNone, alTop, alClient };

// A control publishing one property of each kind the map knows.
class TTestEdit : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t left_ = 0;
    std::int64_t big_ = 0;
    double value_ = 0.0;
    bool checked_ = false;
    TAlign align_ = TAlign::alNone;
    std::uint32_t options_ = 0;
    char accel_ = 'A';
    char16_t wide_accel_ = u'W';
    std::string short_caption_;
    std::string caption_;
    std::u16string text_;
    PropValue data_;
    TStringList items_;
    TTestFont font_;
    std::unique_ptr<TTestFont> spare_font_ = std::make_unique<TTestFont>();
    TComponentRef<TComponent> partner_;
    TComponentRef<TComponent> host_dock_site_;
    int events_set_ = 0;
};

class TTestCombo : public TComponent, public IComboBox {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t ItemIndex() const override { return index_; }
    void SetItemIndex(std::int32_t index) override {
        index_ = index >= -1 && index < item_count_ ? index : -1;
    }
    std::int32_t item_count_ = 3;
    std::int32_t index_ = -1;
};

class TTestForm : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    explicit TTestForm(const std::string& name = "frmOptions") {
        SetName(name);
        CreateComponent<TTestEdit>().SetName("var1");
        CreateComponent<TTestEdit>().SetName("spTimeout");
        CreateComponent<TTestCombo>().SetName("cbPort");
    }
    TTestEdit& var1() { return static_cast<TTestEdit&>(*FindComponent("var1")); }
    TTestEdit& spTimeout() { return static_cast<TTestEdit&>(*FindComponent("spTimeout")); }
    TTestCombo& cbPort() { return static_cast<TTestCombo&>(*FindComponent("cbPort")); }

    std::int32_t left_ = 314;
    std::int32_t width_ = 389;
    TTestFont font_;
    TTestFont* no_font_ = nullptr;
};

// A settings object for the lines Left, var1.Text, spTimeout.Value and var1.Checked.
class TTestSettings : public TProxyCodeCustomObject {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t left_ = 314;
    std::string var1_text_;
    double timeout_ = 0.0;
    bool checked_ = false;
};

// A form owned by the application object for the duration of a test.
class ApplicationForm {
  public:
    explicit ApplicationForm(const std::string& name)
        : form_(&static_cast<TTestForm&>(
              Application().InsertComponent(std::make_unique<TTestForm>(name)))) {}
    ~ApplicationForm() { Application().DestroyComponent(*form_); }
    ApplicationForm(const ApplicationForm&) = delete;
    ApplicationForm& operator=(const ApplicationForm&) = delete;
    TTestForm& operator*() const { return *form_; }
    TTestForm* operator->() const { return form_; }
    TTestForm* get() const { return form_; }

  private:
    TTestForm* form_;
};

} // namespace kvr::testing
