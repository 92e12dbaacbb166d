// The settings-file parser: any bytes parse, and what they parse to survives a write and a
// second read unchanged.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/reg_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegDocument doc = RegDocument::parse(bytes);
    const std::string once = doc.serialize();
    for (const auto& key : doc.keys()) {
        for (const auto& name : doc.value_names(key)) (void)doc.get(key, name);
    }
    doc.set(u"HKEY_CURRENT_USER\\Software\\TEKU", u"Log", RegValue::number(1));
    const std::string twice = RegDocument::parse(once).serialize();
    if (twice != once) std::abort();  // writing must be stable
    return 0;
}
