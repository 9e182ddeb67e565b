#pragma once
// Containers shared between host threads, each paired with a ReentrantRWLock. Ordinary access
// locks explicitly: take a guard from LockList / LockListRead, work on the container through
// it, and let the guard release the lock (also when the work throws).

#include "threads/rw_lock.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kvr {

// A list of objects that frees them on removal and clearing when it owns them.
template <class T> class ObjectList {
  public:
    explicit ObjectList(bool owns_objects) : owns_objects_(owns_objects) {}
    ~ObjectList() { Clear(); }
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;

    bool OwnsObjects() const { return owns_objects_; }
    int Count() const { return int(items_.size()); }
    T* operator[](int index) const { return items_[size_t(index)]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    int Add(std::unique_ptr<T> object) {
        items_.push_back(object.get());
        object.release();
        return Count() - 1;
    }
    int Add(T* object) {
        items_.push_back(object);
        return Count() - 1;
    }
    // Removes the entry at the index and frees the object when the list owns it.
    void Delete(int index) {
        T* object = items_[size_t(index)];
        items_.erase(items_.begin() + index);
        if (owns_objects_) delete object;
    }
    // Removes the entry without freeing the object.
    T* Extract(int index) {
        T* object = items_[size_t(index)];
        items_.erase(items_.begin() + index);
        return object;
    }
    int IndexOf(const T* object) const {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == object) return int(i);
        return -1;
    }
    void Clear() {
        std::vector<T*> items;
        items.swap(items_);
        if (owns_objects_)
            for (T* object : items)
                delete object;
    }

  private:
    bool owns_objects_;
    std::vector<T*> items_;
};

// A held lock with access to the guarded container; released when the guard goes, or when a
// memory fault abandons the guard's frame.
template <class Container, bool Exclusive> class [[nodiscard]] LockedAccess {
  public:
    LockedAccess(ReentrantRWLock& lock, Container& container)
        : guard_(lock), container_(&container) {}
    LockedAccess(LockedAccess&& other) noexcept = default;
    LockedAccess(const LockedAccess&) = delete;
    LockedAccess& operator=(const LockedAccess&) = delete;
    LockedAccess& operator=(LockedAccess&&) = delete;

    Container* operator->() const { return container_; }
    Container& operator*() const { return *container_; }

  private:
    RWLockGuard<Exclusive> guard_;
    Container* container_;
};

// Base of the lock holders: the lock is made on first use.
class TThreadObject {
  protected:
    ReentrantRWLock& lock_on_first_use() {
        ReentrantRWLock* lock = lock_.load(std::memory_order_acquire);
        if (lock) return *lock;
        std::lock_guard creation(creation_guard_);
        if (!owned_lock_) {
            owned_lock_ = std::make_unique<ReentrantRWLock>();
            lock_.store(owned_lock_.get(), std::memory_order_release);
        }
        return *owned_lock_;
    }
    bool lock_made() const { return lock_.load(std::memory_order_acquire) != nullptr; }

  private:
    std::mutex creation_guard_;
    std::unique_ptr<ReentrantRWLock> owned_lock_;
    std::atomic<ReentrantRWLock*> lock_{nullptr};
};

template <class T> class TThreadObjectList : public TThreadObject {
  public:
    using List = ObjectList<T>;
    using Writer = LockedAccess<List, true>;
    using Reader = LockedAccess<List, false>;

    explicit TThreadObjectList(bool OwnsObjects) : list_(OwnsObjects) {}
    // Waits for threads that still hold the lock, then frees the list (and its objects when
    // it owns them).
    ~TThreadObjectList() {
        Writer guard = LockList();
        guard->Clear();
    }

    Writer LockList() { return Writer(lock_on_first_use(), list_); }
    Reader LockListRead() { return Reader(lock_on_first_use(), list_); }

    void Clear() { LockList()->Clear(); }
    int Count() { return LockListRead()->Count(); }

  private:
    List list_;
};

// Lines of text shared between threads (an unsorted list: duplicates stay).
class TThreadStringList {
  public:
    using Lines = std::vector<std::string>;
    using Writer = LockedAccess<Lines, true>;

    ~TThreadStringList() {
        Writer guard = LockList();
        guard->clear();
    }

    Writer LockList() { return Writer(lock_, lines_); }
    // Appends one line under the lock; answers its index.
    int Add(std::string line) {
        Writer guard = LockList();
        guard->push_back(std::move(line));
        return int(guard->size()) - 1;
    }
    // Replaces every line by the lines of the text (split at CR LF, LF or CR).
    void SetText(const std::string& text);
    int Count() { return int(LockList()->size()); }

  private:
    ReentrantRWLock lock_;
    Lines lines_;
};

// Splits a text into lines as a string list's Text property does.
std::vector<std::string> split_lines(const std::string& text);

} // namespace kvr
