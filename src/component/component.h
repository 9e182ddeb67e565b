#pragma once
// Components: named, tagged objects that own other components. An owner keeps the components
// it owns in the order they were inserted and frees them when it is destroyed; a component
// without owner belongs to whoever holds its std::unique_ptr.
//
// A component and the components it owns are used by one thread at a time.

#include "common/errors.h"
#include "component/class_info.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

class TComponent;

// A failed operation on components: an invalid or duplicate name, an index out of range, a
// component that is not where the caller said it was.
class EComponentError : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EComponentError"; }
};

// A reference to a component that becomes empty when the component is destroyed. Copies refer
// to the same component. Not thread-safe: use it on the thread that uses the component.
class ComponentLink {
  public:
    ComponentLink() = default;
    explicit ComponentLink(TComponent* target) { reset(target); }
    ComponentLink(const ComponentLink& other) { reset(other.target_); }
    ComponentLink& operator=(const ComponentLink& other) {
        reset(other.target_);
        return *this;
    }
    ~ComponentLink() { reset(); }

    TComponent* get() const { return target_; }
    void reset(TComponent* target = nullptr);

  private:
    friend class TComponent;
    TComponent* target_ = nullptr;
};

// A typed ComponentLink.
template <class T> class TComponentRef {
  public:
    TComponentRef() = default;
    TComponentRef(T* target) : link_(target) {}
    T* get() const { return static_cast<T*>(link_.get()); }
    void reset(T* target = nullptr) { link_.reset(target); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

  private:
    ComponentLink link_;
};

class TComponent : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    enum TOperation { opInsert, opRemove };

    TComponent() = default;
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // The name: empty, or letters, digits and "_" not starting with a digit. Names of the
    // components of one owner differ without regard to ASCII case. SetName throws
    // EComponentError for an invalid name or one a sibling already has.
    const std::string& Name() const { return name_; }
    void SetName(std::string name);

    std::int32_t Tag() const { return tag_; }
    void SetTag(std::int32_t tag) { tag_ = tag; }

    TComponent* Owner() const { return owner_; }

    // The owned components in insertion order. Components throws EComponentError for an index
    // outside 0 to ComponentCount() - 1.
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    // This component's position in its owner's list; -1 without owner.
    int ComponentIndex() const;
    // The owned component whose name equals name without regard to ASCII case; nullptr for an
    // empty name or when there is none.
    TComponent* FindComponent(std::string_view name) const;

    // Creates a T owned by this component and returns it.
    template <class T, class... Args> T& CreateComponent(Args&&... args) {
        auto component = std::make_unique<T>(std::forward<Args>(args)...);
        T& result = *component;
        InsertComponent(std::move(component));
        return result;
    }
    // Takes ownership of component and appends it to the owned list. Throws EComponentError
    // for a null component, one whose name a sibling has, or this component or one of its
    // owners; component then still owns what it held.
    TComponent& InsertComponent(std::unique_ptr<TComponent>&& component);
    // Gives up ownership of component and hands it to the caller. Throws EComponentError when
    // this component does not own it.
    std::unique_ptr<TComponent> RemoveComponent(TComponent& component);
    // Frees an owned component. Throws EComponentError when this component does not own it.
    void DestroyComponent(TComponent& component);
    // Runs once the definition of the component's owner (a form's, a data module's) has set
    // every property; the base does nothing.
    virtual void Loaded() {}

    // Frees every owned component, the last inserted first. Destructors of derived classes
    // call it when their owned components still need the derived part while being freed.
    void DestroyComponents() noexcept;

  protected:
    // Tells an owner that component was just inserted into its list (opInsert) or is about
    // to leave it (opRemove); not called while the owner itself is being destroyed.
    virtual void Notification(TComponent& component, TOperation operation);

  private:
    friend class ComponentLink;
    void check_name_free(std::string_view name, const TComponent* except) const;
    std::size_t index_of(const TComponent& component) const;

    std::string name_;
    std::int32_t tag_ = 0;
    TComponent* owner_ = nullptr;
    std::vector<std::unique_ptr<TComponent>> components_;
    std::vector<ComponentLink*> links_; // references to this component, emptied when it dies
    bool destroying_ = false;
};

} // namespace kvr
