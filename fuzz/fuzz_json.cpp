// The JSON reader on any bytes (a run record may be cut, edited or hostile).
// Beyond not crashing: what it reads, written and read again, is the same
// text, and every string it gives is UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/json/Json.h"
#include "core/text/Encoding.h"

namespace {

bool allUtf8(const qbx::json::Value& v) {
    if (v.isText()) return qbx::isUtf8(v.text());
    for (const auto& e : v.elements())
        if (!allUtf8(e)) return false;
    for (const auto& [key, member] : v.members())
        if (!qbx::isUtf8(key) || !allUtf8(member)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto value = qbx::json::read(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!value) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (!allUtf8(*value)) std::abort();
    const std::string text = qbx::json::write(*value, 2);
    const auto again = qbx::json::read(text, error);
    if (!again || qbx::json::write(*again, 2) != text) std::abort();
    return 0;
}
