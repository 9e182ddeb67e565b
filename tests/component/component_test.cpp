// Ownership, names and references of components, and the application object.

#include "component/application.h"
#include "component/component.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kvr;

namespace {

// Records its name in a shared journal when it is destroyed.
class TTracked : public TComponent {
  public:
    TTracked(std::string name, std::vector<std::string>& journal) : journal_(journal) {
        SetName(std::move(name));
    }
    ~TTracked() override { journal_.push_back(Name()); }

  private:
    std::vector<std::string>& journal_;
};

// Records the notifications it receives as an owner.
class TWatcher : public TComponent {
  public:
    std::vector<std::string> seen;

  protected:
    void Notification(TComponent& component, TOperation operation) override {
        seen.push_back((operation == opInsert ? "+" : "-") + component.Name());
    }
};

std::unique_ptr<TComponent> named(const std::string& name) {
    auto component = std::make_unique<TComponent>();
    component->SetName(name);
    return component;
}

} // namespace

TEST(Component, OwnerKeepsInsertionOrderAndFindsNamesIgnoringAsciiCase) {
    TComponent form;
    form.InsertComponent(named("btnOK"));
    form.InsertComponent(named("btnCancel"));
    TComponent& unnamed = form.CreateComponent<TComponent>();
    ASSERT_EQ(3, form.ComponentCount());
    EXPECT_EQ("btnOK", form.Components(0)->Name());
    EXPECT_EQ("btnCancel", form.Components(1)->Name());
    EXPECT_EQ(&unnamed, form.Components(2));
    EXPECT_EQ(1, form.Components(1)->ComponentIndex());
    EXPECT_EQ(&form, unnamed.Owner());
    EXPECT_EQ(form.Components(1), form.FindComponent("BTNCANCEL"));
    EXPECT_EQ(nullptr, form.FindComponent("btnCance"));
    EXPECT_EQ(nullptr, form.FindComponent("")); // unnamed components are not found by name
    EXPECT_THROW(form.Components(3), EComponentError);
    EXPECT_THROW(form.Components(-1), EComponentError);
}

TEST(Component, OwnerFreesWhatItOwnsLastInsertedFirst) {
    std::vector<std::string> journal;
    {
        TComponent form;
        auto& panel = form.CreateComponent<TTracked>("panel", journal);
        panel.CreateComponent<TTracked>("inner", journal);
        form.CreateComponent<TTracked>("button", journal);
    }
    EXPECT_EQ(std::vector<std::string>({"button", "panel", "inner"}), journal);
}

TEST(Component, RemovedComponentBelongsToTheCallerAndDestroyedOneIsGone) {
    std::vector<std::string> journal;
    TComponent form;
    auto& a = form.CreateComponent<TTracked>("a", journal);
    auto& b = form.CreateComponent<TTracked>("b", journal);
    std::unique_ptr<TComponent> taken = form.RemoveComponent(a);
    EXPECT_EQ(nullptr, taken->Owner());
    EXPECT_EQ(1, form.ComponentCount());
    EXPECT_EQ(-1, taken->ComponentIndex());
    form.DestroyComponent(b);
    EXPECT_EQ(std::vector<std::string>({"b"}), journal);
    EXPECT_EQ(0, form.ComponentCount());
    EXPECT_THROW(form.DestroyComponent(*taken), EComponentError); // not owned any more
    taken.reset();
    EXPECT_EQ(std::vector<std::string>({"b", "a"}), journal);
}

TEST(Component, NamesMustBeIdentifiersAndUniqueAmongSiblings) {
    TComponent form;
    TComponent& edit = form.CreateComponent<TComponent>();
    edit.SetName("Edit1");
    TComponent& other = form.CreateComponent<TComponent>();
    EXPECT_THROW(other.SetName("EDIT1"), EComponentError);
    EXPECT_THROW(other.SetName("1Edit"), EComponentError);
    EXPECT_THROW(other.SetName("Edit.1"), EComponentError);
    EXPECT_THROW(other.SetName("Edit 1"), EComponentError);
    EXPECT_EQ("", other.Name());
    other.SetName("_Edit2");
    edit.SetName("edit1"); // renaming itself in another case is no clash
    EXPECT_EQ("edit1", edit.Name());
    EXPECT_THROW(form.InsertComponent(named("_EDIT2")), EComponentError);
    EXPECT_EQ(2, form.ComponentCount());
    // Unnamed siblings never clash.
    form.CreateComponent<TComponent>();
    EXPECT_EQ(3, form.ComponentCount());
}

TEST(Component, ComponentCannotOwnItselfOrItsOwnersAndTheCallerKeepsIt) {
    auto top = std::make_unique<TComponent>();
    TComponent& child = top->CreateComponent<TComponent>();
    EXPECT_THROW(child.InsertComponent(std::move(top)), EComponentError);
    ASSERT_NE(nullptr, top);
    EXPECT_EQ(&child, top->Components(0));
    EXPECT_THROW(top->InsertComponent(std::move(top)), EComponentError);
    ASSERT_NE(nullptr, top);
    EXPECT_EQ(nullptr, top->Owner());

    TComponent form;
    form.InsertComponent(named("Edit1"));
    auto clash = named("edit1");
    EXPECT_THROW(form.InsertComponent(std::move(clash)), EComponentError);
    ASSERT_NE(nullptr, clash);
    EXPECT_EQ(nullptr, clash->Owner());
}

TEST(Component, LinksEmptyWhenTheirComponentIsDestroyed) {
    TComponent form;
    TComponent& target = form.CreateComponent<TComponent>();
    TComponentRef<TComponent> ref(&target);
    ComponentLink copy(ref.get());
    ComponentLink assigned;
    assigned = copy;
    form.DestroyComponent(target);
    EXPECT_EQ(nullptr, ref.get());
    EXPECT_EQ(nullptr, copy.get());
    EXPECT_EQ(nullptr, assigned.get());
}

TEST(Component, LinkThatDiesFirstIsForgottenByItsComponent) {
    auto target = std::make_unique<TComponent>();
    ComponentLink survivor(target.get());
    auto short_lived = std::make_unique<ComponentLink>(target.get());
    auto retargeted = std::make_unique<ComponentLink>(target.get());
    TComponent elsewhere;
    retargeted->reset(&elsewhere);
    short_lived.reset();
    target.reset(); // must not write into the freed link (ASan) nor miss the live one
    EXPECT_EQ(nullptr, survivor.get());
    EXPECT_EQ(&elsewhere, retargeted->get());
}

TEST(Component, OwnerIsNotifiedOfInsertionAndRemovalButNotWhileItDies) {
    auto watcher = std::make_unique<TWatcher>();
    watcher->InsertComponent(named("a"));
    TComponent& b = watcher->InsertComponent(named("b"));
    watcher->DestroyComponent(b);
    EXPECT_EQ(std::vector<std::string>({"+a", "+b", "-b"}), watcher->seen);
    watcher.reset(); // would call a destroyed override if it notified now
}

TEST(Application, MainFormIsForgottenWhenTheFormIsDestroyed) {
    TApplication& app = Application();
    TComponent& form = app.InsertComponent(named("MainForm1"));
    app.SetMainForm(&form);
    EXPECT_EQ(&form, app.MainForm());
    EXPECT_EQ(&form, app.FindComponent("mainform1"));
    app.DestroyComponent(form);
    EXPECT_EQ(nullptr, app.MainForm());
    EXPECT_EQ(&app, &Application());
}
