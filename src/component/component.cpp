#include "component/component.h"

#include "component/text_util.h"

#include <algorithm>

namespace kvr {

namespace {

bool is_identifier(std::string_view name) {
    const auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.empty() || !letter(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [&](char c) { return letter(c) || digit(c); });
}

} // namespace

void ComponentLink::reset(TComponent* target) {
    if (target == target_) return;
    if (target_) std::erase(target_->links_, this);
    target_ = target;
    if (target_) target_->links_.push_back(this);
}

const ClassInfo& TComponent::StaticClassInfo() {
    static const ClassInfo info = ClassBuilder<TComponent>("TComponent", TObject::StaticClassInfo())
                                      .ansi_string("Name", &TComponent::Name, &TComponent::SetName)
                                      .integer("Tag", &TComponent::Tag, &TComponent::SetTag)
                                      .build();
    return info;
}

TComponent::~TComponent() {
    destroying_ = true;
    DestroyComponents();
    for (ComponentLink* link : links_)
        link->target_ = nullptr;
}

void TComponent::SetName(std::string name) {
    if (name == name_) return;
    if (!name.empty() && !is_identifier(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (owner_) owner_->check_name_free(name, this);
    name_ = std::move(name);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
    return components_[static_cast<std::size_t>(index)].get();
}

int TComponent::ComponentIndex() const {
    return owner_ ? static_cast<int>(owner_->index_of(*this)) : -1;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const auto& component : components_)
        if (text::same_text_ascii(component->name_, name)) return component.get();
    return nullptr;
}

TComponent& TComponent::InsertComponent(std::unique_ptr<TComponent>&& component) {
    if (!component) throw EComponentError("No component to insert");
    for (const TComponent* ancestor = this; ancestor; ancestor = ancestor->owner_)
        if (ancestor == component.get())
            throw EComponentError("A component cannot own itself or its owners");
    check_name_free(component->name_, nullptr);
    TComponent& inserted = *component;
    inserted.owner_ = this;
    components_.push_back(std::move(component));
    Notification(inserted, opInsert);
    return inserted;
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent& component) {
    const std::size_t index = index_of(component);
    if (index == components_.size())
        throw EComponentError("Component " + component.name_ + " is not owned by " + name_);
    Notification(component, opRemove);
    auto removed = std::move(components_[index]);
    components_.erase(components_.begin() + static_cast<std::ptrdiff_t>(index));
    removed->owner_ = nullptr;
    return removed;
}

void TComponent::DestroyComponent(TComponent& component) {
    RemoveComponent(component).reset();
}

void TComponent::DestroyComponents() noexcept {
    while (!components_.empty()) {
        auto last = std::move(components_.back());
        components_.pop_back();
        if (!destroying_) Notification(*last, opRemove);
        last->owner_ = nullptr;
    }
}

void TComponent::Notification(TComponent&, TOperation) {}

void TComponent::check_name_free(std::string_view name, const TComponent* except) const {
    const TComponent* existing = FindComponent(name);
    if (existing && existing != except)
        throw EComponentError("A component named " + std::string(name) + " already exists");
}

std::size_t TComponent::index_of(const TComponent& component) const {
    const auto hit = std::find_if(components_.begin(), components_.end(),
                                  [&](const auto& owned) { return owned.get() == &component; });
    return static_cast<std::size_t>(hit - components_.begin());
}

} // namespace kvr
