#pragma once
// The one error hierarchy of the system. The driver prints kind() + ": " +
// the first line of what(), so kind() is the bare class name users see.
#include <stdexcept>
#include <string>
#include <string_view>

namespace Zerivox::Common {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message);
    virtual const char* kind() const noexcept { return "Exception"; }
    // Stack captured where the error was constructed (empty if unavailable);
    // printed by the driver when KTRV_STACK is set.
    const std::string& stackTrace() const noexcept { return _stack; }

private:
    std::string _stack;
};

#define ZV_DECLARE_EXCEPTION(Name, Base)                                   \
    class Name : public Base {                                             \
    public:                                                                \
        using Base::Base;                                                  \
        const char* kind() const noexcept override { return #Name; }       \
    };

ZV_DECLARE_EXCEPTION(ArgumentException, Exception)
ZV_DECLARE_EXCEPTION(ArgumentNullException, ArgumentException)
ZV_DECLARE_EXCEPTION(ArgumentOutOfRangeException, ArgumentException)
ZV_DECLARE_EXCEPTION(InvalidOperationException, Exception)
ZV_DECLARE_EXCEPTION(NotImplementedException, Exception)
ZV_DECLARE_EXCEPTION(NotSupportedException, Exception)
ZV_DECLARE_EXCEPTION(IndexOutOfRangeException, Exception)
ZV_DECLARE_EXCEPTION(KeyNotFoundException, Exception)
ZV_DECLARE_EXCEPTION(OverflowException, Exception)
ZV_DECLARE_EXCEPTION(FormatException, Exception)
ZV_DECLARE_EXCEPTION(IOException, Exception)
ZV_DECLARE_EXCEPTION(FileNotFoundException, IOException)
ZV_DECLARE_EXCEPTION(JsonException, Exception)

#undef ZV_DECLARE_EXCEPTION

// Text of an error as the console shows it: kind, ": ", message up to the
// first line feed. Non-system exceptions are reported with a generic kind.
std::string ErrorText(const std::exception& e);

} // namespace Zerivox::Common
