#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/file_descriptor.h"

namespace vistrel {

namespace {

constexpr size_t kMaxSettingsFile = 4 * 1024 * 1024;

std::string default_settings_file() {
    if (const char* chosen = std::getenv("VISTREL_SETTINGS"); chosen && *chosen) return chosen;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        config = "/tmp";
    return config + "/vistrel/settings.reg";
}

// Generations are unique across stores, so that switching to another store counts as a
// change for whoever watches the numbers.
std::atomic<uint32_t> g_generation_source{0};

std::mutex g_global_mutex;
std::unique_ptr<SettingsStore> g_global;

bool read_bytes(const std::string& path, std::string& out) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.is_open()) return false;
    out.clear();
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out.append(buffer, size_t(n));
        if (out.size() > kMaxSettingsFile) {
            out.clear();  // not a settings file of ours; read as empty
            break;
        }
    }
    return true;
}

void make_parent_folders(const std::string& file) {
    for (size_t pos = 1; (pos = file.find('/', pos)) != std::string::npos; ++pos)
        mkdir(file.substr(0, pos).c_str(), 0700);
}

// An exclusive advisory lock on "<file>.lock" for the life of the object.
class FileLock {
public:
    explicit FileLock(const std::string& file)
        : m_fd(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd.is_open()) {
            while (flock(m_fd.get(), LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    bool held() const { return m_fd.is_open(); }

private:
    FileDescriptor m_fd;  // closing it releases the lock
};

}  // namespace

SettingsStore::SettingsStore(std::string file)
    : m_file(std::move(file)), m_generation(g_generation_source.fetch_add(1) + 1) {}

SettingsStore& SettingsStore::global() {
    std::lock_guard lock(g_global_mutex);
    if (!g_global) g_global = std::make_unique<SettingsStore>(default_settings_file());
    return *g_global;
}

void SettingsStore::use_file(const std::string& file) {
    std::lock_guard lock(g_global_mutex);
    // The old store stays alive: callers may hold references to it.
    static std::vector<std::unique_ptr<SettingsStore>> retired;
    if (g_global) retired.push_back(std::move(g_global));
    g_global = std::make_unique<SettingsStore>(file);
}

SettingsStore::Identity SettingsStore::identity() const {
    struct stat st {};
    if (stat(m_file.c_str(), &st) != 0) return Identity{};
    return Identity{int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                    int64_t(st.st_size), uint64_t(st.st_ino)};
}

void SettingsStore::refresh_locked() {
    const Identity now = identity();
    if (now == m_identity && now.size >= 0) return;
    std::string bytes;
    m_document = read_bytes(m_file, bytes) ? RegDocument::parse(bytes) : RegDocument{};
    m_identity = now;
    m_generation.store(g_generation_source.fetch_add(1) + 1, std::memory_order_release);
}

template <typename Change>
bool SettingsStore::modify_locked(Change&& change) {
    make_parent_folders(m_file);
    FileLock lock(m_file);
    if (!lock.held()) return false;
    m_identity = Identity{};  // force a fresh read under the lock
    refresh_locked();
    change(m_document);
    const std::string temp = m_file + ".tmp." + std::to_string(getpid());
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.is_open()) return false;
    const bool written = write_all(fd.get(), m_document.serialize()) && fsync(fd.get()) == 0;
    fd.reset();
    if (!written || std::rename(temp.c_str(), m_file.c_str()) != 0) {
        unlink(temp.c_str());
        m_identity = Identity{};
        return false;
    }
    m_identity = identity();
    m_generation.store(g_generation_source.fetch_add(1) + 1, std::memory_order_release);
    return true;
}

std::optional<RegValue> SettingsStore::get(std::u16string_view key, std::u16string_view name) {
    std::lock_guard lock(m_mutex);
    refresh_locked();
    return m_document.get(key, name);
}

bool SettingsStore::has_key(std::u16string_view key) {
    std::lock_guard lock(m_mutex);
    refresh_locked();
    return m_document.has_key(key);
}

bool SettingsStore::create_key(std::u16string_view key) {
    std::lock_guard lock(m_mutex);
    refresh_locked();
    if (m_document.has_key(key)) return true;
    return modify_locked([&](RegDocument& doc) { doc.add_key(key); });
}

bool SettingsStore::set(std::u16string_view key, std::u16string_view name, const RegValue& value) {
    // A line break cannot be stored in the text form.
    const auto has_break = [](std::u16string_view s) { return s.find_first_of(u"\r\n") != s.npos; };
    if (has_break(key) || has_break(name) || has_break(value.text)) return false;
    std::lock_guard lock(m_mutex);
    return modify_locked([&](RegDocument& doc) { doc.set(key, name, value); });
}

}  // namespace vistrel
