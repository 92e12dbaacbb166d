// The language-file parser on any bytes: every entry it keeps reads back, and written out
// again as "key=text" lines it parses to the same table.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "language/language_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    const LanguageTable table = LanguageTable::parse(data, size);
    std::string again = "\xFF\xFE";
    for (const auto& [key, text] : table.entries()) {
        if (key.empty() || table.text_for(key) != text) std::abort();
        for (const std::u16string* part : {&key, &text}) {
            for (char16_t c : *part) {
                if (c == u'\r' || c == u'\n') std::abort();  // a line end inside an entry
                again += static_cast<char>(c & 0xFF);
                again += static_cast<char>(c >> 8);
            }
            if (part == &key) again.append("=\0", 2);
        }
        again.append("\n\0", 2);
    }
    const LanguageTable reparsed =
        LanguageTable::parse(reinterpret_cast<const uint8_t*>(again.data()), again.size());
    if (reparsed.entries() != table.entries()) std::abort();
    return 0;
}
