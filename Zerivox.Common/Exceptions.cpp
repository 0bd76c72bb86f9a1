#include "Zerivox.Common/Exceptions.h"

#include <execinfo.h>

#include <cstdlib>
#include <new>

namespace Zerivox::Common {

namespace {
std::string CaptureStack() {
    // Only pay for a backtrace when someone will print it.
    if (std::getenv("KTRV_STACK") == nullptr) return {};
    void* frames[64];
    int n = ::backtrace(frames, 64);
    char** symbols = ::backtrace_symbols(frames, n);
    std::string out;
    if (symbols == nullptr) return out;
    for (int i = 1; i < n; ++i) {
        out += "   at ";
        out += symbols[i];
        if (i + 1 < n) out += "\r\n";
    }
    std::free(symbols);
    return out;
}
} // namespace

Exception::Exception(const std::string& message) : std::runtime_error(message), _stack(CaptureStack()) {}

std::string ErrorText(const std::exception& e) {
    std::string kind;
    if (auto* z = dynamic_cast<const Exception*>(&e)) {
        kind = z->kind();
    } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
        kind = "OutOfMemoryException";
    } else if (dynamic_cast<const std::out_of_range*>(&e)) {
        kind = "IndexOutOfRangeException";
    } else {
        kind = "Exception";
    }
    std::string_view msg = e.what();
    auto lf = msg.find('\n');
    if (lf != std::string_view::npos) msg = msg.substr(0, lf);
    kind += ": ";
    kind += msg;
    return kind;
}

} // namespace Zerivox::Common
