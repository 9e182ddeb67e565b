#pragma once
// Text services for tests that need rules other than the default Windows-1252 ones, and a
// guard that puts a platform in force for the whole process while it lives.

#include "component/text_platform.h"

#include <functional>
#include <string>
#include <string_view>

namespace kvr::test {

// Windows-1252 except where a test sets its own upper-casing or comparison.
class TFakeTextPlatform final : public TextPlatform {
  public:
    std::function<std::string(std::string_view)> upper;
    std::function<int(std::string_view, std::string_view, bool)> compare;

    std::u16string ansi_to_wide(std::string_view t) const override { return base_.ansi_to_wide(t); }
    std::string wide_to_ansi(std::u16string_view t) const override { return base_.wide_to_ansi(t); }
    std::string ansi_upper(std::string_view t) const override {
        return upper ? upper(t) : base_.ansi_upper(t);
    }
    std::string ansi_lower(std::string_view t) const override { return base_.ansi_lower(t); }
    int ansi_compare(std::string_view a, std::string_view b, bool case_sensitive) const override {
        return compare ? compare(a, b, case_sensitive) : base_.ansi_compare(a, b, case_sensitive);
    }
    char decimal_separator() const override { return base_.decimal_separator(); }

  private:
    Windows1252TextPlatform base_;
};

class TInstalledTextPlatform {
  public:
    explicit TInstalledTextPlatform(const TextPlatform& platform) {
        install_text_platform(&platform);
    }
    ~TInstalledTextPlatform() { install_text_platform(nullptr); }
    TInstalledTextPlatform(const TInstalledTextPlatform&) = delete;
    TInstalledTextPlatform& operator=(const TInstalledTextPlatform&) = delete;
};

} // namespace kvr::test
