#pragma once
// A text that one thread may replace while others read it (a module's message texts change
// with the user's language while data calls on other threads log them). Reading yields a copy.

#include <mutex>
#include <string>

namespace kvr {

class TGuardedText {
  public:
    TGuardedText() = default;
    TGuardedText(std::string text) : text_(std::move(text)) {}
    TGuardedText(const char* text) : text_(text) {}
    TGuardedText(const TGuardedText&) = delete;
    TGuardedText& operator=(const TGuardedText&) = delete;

    TGuardedText& operator=(std::string text) {
        std::lock_guard lock(guard_);
        text_ = std::move(text);
        return *this;
    }
    std::string get() const {
        std::lock_guard lock(guard_);
        return text_;
    }
    operator std::string() const { return get(); }

  private:
    mutable std::mutex guard_;
    std::string text_;
};

} // namespace kvr
