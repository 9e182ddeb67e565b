#include "common/errors.h"

#include <typeinfo>

namespace kvr {

std::string assertion_message(const std::string& text, const char* unit_path, int line) {
    return (text.empty() ? std::string("Assertion failure") : text) + " (" + unit_path + ", line " +
           std::to_string(line) + ")";
}

EAssertionFailed::EAssertionFailed(const std::string& text, const char* unit_path, int line)
    : Exception(assertion_message(text, unit_path, line)) {}

EOSError::EOSError(const std::string& call, unsigned long code)
    : Exception(call + " failed: " + std::to_string(code)), code_(code) {}

std::string exception_report(const std::exception& error) {
    const char* name = "Exception";
    if (const auto* own = dynamic_cast<const Exception*>(&error)) {
        name = own->class_name();
    } else if (dynamic_cast<const std::bad_alloc*>(&error)) {
        name = "EOutOfMemory";
    } else {
        name = typeid(error).name();
    }
    std::string line = std::string(name) + ": " + error.what();
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

} // namespace kvr
