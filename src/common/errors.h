#pragma once
// Exceptions of the library. Every failure inside the library is one of these (or a standard
// exception); the exported entry points turn them into result codes, and the command path
// logs their class and message as one line.

#include <stdexcept>
#include <string>

namespace kvr {

// Base of the library's own exceptions: a message and the name of the exception's class.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* class_name() const noexcept { return "Exception"; }
};

// A broken contract. The message reads "<text> (<unit path>, line <n>)", where the text is
// "Assertion failure" unless the caller gave one.
class EAssertionFailed : public Exception {
  public:
    EAssertionFailed(const std::string& text, const char* unit_path, int line);
    const char* class_name() const noexcept override { return "EAssertionFailed"; }
};

// A failed conversion of a value from one type to another.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EConvertError"; }
};

// The system has run out of a resource (timers, handles).
class EOutOfResources : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EOutOfResources"; }
};

// A failed operating-system call; the message names the call and its error code.
class EOSError : public Exception {
  public:
    EOSError(const std::string& call, unsigned long code);
    unsigned long code() const noexcept { return code_; }
    const char* class_name() const noexcept override { return "EOSError"; }

  private:
    unsigned long code_;
};

// Formats an assertion message: "%s (%s, line %d)".
std::string assertion_message(const std::string& text, const char* unit_path, int line);

// One line that reports an exception: its class name, a colon and its message.
std::string exception_report(const std::exception& error);

// Throws EAssertionFailed when the condition is false.
inline void kvr_assert(bool condition, const char* unit_path, int line,
                       const char* text = "Assertion failure") {
    if (!condition) throw EAssertionFailed(text, unit_path, line);
}

} // namespace kvr
