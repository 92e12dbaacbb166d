#pragma once
// The settings file: the program's stand-in for the system registry.
//
// Reads see the file as it is on disk (it is re-read when it changes). Writes take an
// advisory lock, re-read the file, change one value and replace the file atomically
// (temporary file and rename), so two processes writing at once lose no value.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/reg_document.h"

namespace vistrel {

class SettingsStore {
public:
    explicit SettingsStore(std::string file);

    // The process's store: $VISTREL_SETTINGS, else $XDG_CONFIG_HOME/vistrel/settings.reg.
    static SettingsStore& global();
    // Points the process's store at another file (tools and tests).
    static void use_file(const std::string& file);

    const std::string& file() const { return m_file; }

    std::optional<RegValue> get(std::u16string_view key, std::u16string_view name);
    bool has_key(std::u16string_view key);
    // Creates an empty key; true when it exists afterwards.
    bool create_key(std::u16string_view key);
    bool set(std::u16string_view key, std::u16string_view name, const RegValue& value);

    // Grows whenever this store writes the file or sees it changed, so that hot paths can
    // keep a value in memory and re-read it only when this number moves.
    uint32_t generation() const { return m_generation.load(std::memory_order_acquire); }

private:
    struct Identity {
        int64_t modified_ns = -1;
        int64_t size = -1;
        uint64_t inode = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity identity() const;
    // Brings m_document up to date with the file; call with m_mutex held.
    void refresh_locked();
    // Lock, re-read, apply `change`, write back. Call with m_mutex held.
    template <typename Change>
    bool modify_locked(Change&& change);

    std::string m_file;
    std::mutex m_mutex;
    RegDocument m_document;
    Identity m_identity;
    std::atomic<uint32_t> m_generation;
};

}  // namespace vistrel
