#pragma once
// The developer trace log. Off unless the settings value "Log" under
// HKEY_CURRENT_USER\Software\TEKU is non-zero; then lines go to "vistrel.txt" (the program
// file's name plus ".txt") in the temporary folder, as UTF-16LE with a byte-order mark.
//
//   trace() << tick_count() << "WinMain 0\n";
//
// Lines have no automatic prefix or end; the caller writes the line feed.

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vistrel {

class Trace {
public:
    virtual ~Trace() = default;
    // Appends the UTF-16 code units in [begin, end).
    virtual void write(const char16_t* begin, const char16_t* end) = 0;
    virtual void flush() = 0;
    virtual bool enabled() const = 0;

    Trace& operator<<(std::u16string_view text);
    Trace& operator<<(const char16_t* text) {
        return *this << std::u16string_view(text ? text : u"");
    }
    Trace& operator<<(const std::u16string& text) { return *this << std::u16string_view(text); }
    // 8-bit text: each byte becomes one code unit by sign extension.
    Trace& operator<<(std::string_view text);
    Trace& operator<<(const char* text) { return *this << std::string_view(text ? text : ""); }
    Trace& operator<<(bool value);    // "true" or "false"
    Trace& operator<<(double value);  // six decimals, as "%f"
    template <std::integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, char> && !std::same_as<I, char16_t>) Trace&
    operator<<(I value) {
        return write_integer(static_cast<long long>(value));
    }

private:
    Trace& write_integer(long long value);
};

// Keeps the current sink alive for one chained line, even if another thread switches the
// log meanwhile.
class TraceLine {
public:
    explicit TraceLine(std::shared_ptr<Trace> sink) : m_sink(std::move(sink)) {}
    template <typename T>
    TraceLine& operator<<(const T& value) {
        if (m_sink->enabled()) *m_sink << value;
        return *this;
    }
    Trace& sink() { return *m_sink; }
    bool enabled() const { return m_sink->enabled(); }

private:
    std::shared_ptr<Trace> m_sink;
};

// The current sink: a file sink while "Log" is on, a discarding one while it is off.
// Switching takes effect at the next line; each switch-on truncates the file.
TraceLine trace();
std::shared_ptr<Trace> current_trace();
// The log file's path.
std::u16string trace_file_path();

// The fatal-error report: writes "Gluck: <what> @ <where>" to the log (and standard
// error), flushes and ends the process at once with exit code 1, so that a service
// manager sees the failure.
[[noreturn]] void log_fatal(const char* where, const char* what);

}  // namespace vistrel
