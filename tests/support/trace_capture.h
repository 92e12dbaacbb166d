#pragma once
// The trace log switched on into a private folder for the life of the object, so that a
// test can read the lines written meanwhile.

#include <string>

#include "platform/text.h"
#include "platform/trace.h"
#include "support/test_support.h"

namespace vistrel::test {

class TraceCapture {
public:
    TraceCapture()
        : m_tmp("TMPDIR", m_dir.str()), m_settings("VISTREL_SETTINGS", m_dir.file("s.reg")) {
        write_file(m_dir.file("s.reg"),
                   "[HKEY_CURRENT_USER\\Software\\TEKU]\r\n\"Log\"=dword:00000001\r\n");
    }
    // Everything logged so far, as UTF-8.
    std::string text() {
        current_trace()->flush();
        const std::string bytes = read_file_bytes(to_utf8(trace_file_path()));
        std::u16string wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
        return to_utf8(wide);
    }

private:
    TempDir m_dir;
    ScopedEnv m_tmp;
    ScopedEnv m_settings;
};

}  // namespace vistrel::test
