#include "platform/trace.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/file_stream.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vistrel {

namespace {

class DiscardingTrace final : public Trace {
public:
    void write(const char16_t*, const char16_t*) override {}
    void flush() override {}
    bool enabled() const override { return false; }
};

class FileTrace final : public Trace {
public:
    explicit FileTrace(const std::u16string& path) : m_stream(path, OpenMode::Write) {
        if (m_stream.is_open() && m_stream.size() == 0) {
            const uint8_t bom[] = {0xFF, 0xFE};
            m_stream.write(bom, sizeof bom);
        }
    }
    void write(const char16_t* begin, const char16_t* end) override {
        if (begin >= end) return;
        std::string bytes;
        bytes.reserve(size_t(end - begin) * 2);
        for (const char16_t* p = begin; p < end; ++p) {
            bytes.push_back(char(*p & 0xFF));
            bytes.push_back(char(*p >> 8));
        }
        std::lock_guard lock(m_mutex);
        m_stream.write(bytes.data(), bytes.size());
    }
    void flush() override {
        std::lock_guard lock(m_mutex);
        m_stream.flush();
    }
    bool enabled() const override { return true; }

private:
    std::mutex m_mutex;
    FileStream m_stream;
};

// How often the settings file is looked at for a changed "Log" when nothing in this
// process wrote it.
constexpr uint32_t kRecheckMs = 250;

struct TraceState {
    std::mutex mutex;  // serialises sink replacement only
    std::shared_ptr<Trace> sink;
    std::u16string file;  // of the current file sink
    std::atomic<bool> has_sink{false};
    std::atomic<bool> enabled{false};
    std::atomic<uint32_t> checked_tick{0};
    std::atomic<uint32_t> seen_generation{0};
};

TraceState& state() {
    static TraceState* s = new TraceState;  // lives until the process ends
    return *s;
}

bool log_switched_on() {
    auto value = SettingsStore::global().get(kTekuKey, kLogValue);
    return value && value->type == RegValue::Type::Dword && value->dword != 0;
}

}  // namespace

Trace& Trace::operator<<(std::u16string_view text) {
    write(text.data(), text.data() + text.size());
    return *this;
}

Trace& Trace::operator<<(std::string_view text) {
    const std::u16string wide = widen(text);
    write(wide.data(), wide.data() + wide.size());
    return *this;
}

Trace& Trace::operator<<(bool value) {
    return *this << (value ? u"true" : u"false");
}

Trace& Trace::operator<<(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return *this << std::string_view(buffer);
}

Trace& Trace::write_integer(long long value) {
    return *this << to_u16(value);
}

std::u16string trace_file_path() {
    return temp_folder() + u"/" + expand_path(u"%app_name%.txt");
}

std::shared_ptr<Trace> current_trace() {
    TraceState& s = state();
    SettingsStore& store = SettingsStore::global();
    const uint32_t now = tick_count();
    const uint32_t generation = store.generation();
    const bool stale = !s.has_sink.load(std::memory_order_acquire) ||
                       generation != s.seen_generation.load(std::memory_order_relaxed) ||
                       now - s.checked_tick.load(std::memory_order_relaxed) >= kRecheckMs;
    std::lock_guard lock(s.mutex);
    if (stale) {
        const bool on = log_switched_on();
        s.checked_tick.store(now, std::memory_order_relaxed);
        s.seen_generation.store(store.generation(), std::memory_order_relaxed);
        const std::u16string file = on ? trace_file_path() : std::u16string();
        if (!s.sink || on != s.enabled.load() || file != s.file) {
            s.enabled.store(on);
            s.file = file;
            if (on)
                s.sink = std::make_shared<FileTrace>(file);
            else
                s.sink = std::make_shared<DiscardingTrace>();
            s.has_sink.store(true, std::memory_order_release);
        }
    }
    return s.sink;
}

TraceLine trace() {
    return TraceLine(current_trace());
}

void log_fatal(const char* where, const char* what) {
    std::fprintf(stderr, "Gluck: %s @ %s\n", what, where);
    auto sink = current_trace();
    *sink << "Gluck: " << what << " @ " << where << "\n";
    sink->flush();
    _exit(1);
}

}  // namespace vistrel
