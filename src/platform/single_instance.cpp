#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr size_t kMaxCommandLineBytes = 64 * 1024;
constexpr int kReadTimeoutMs = 2000;
constexpr char kAnswer = 'A';

bool socket_address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// Writes all of `data`; on a non-blocking socket each wait for room is at most `timeout_ms`.
bool write_all(int fd, const char* data, size_t size, int timeout_ms = -1) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, timeout_ms);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            continue;
        }
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads until the peer stops writing, at most `limit` bytes, each wait at most `timeout_ms`.
bool read_all(int fd, std::string& out, size_t limit, int timeout_ms) {
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (out.size() + static_cast<size_t>(n) > limit) return false;
        out.append(buffer, static_cast<size_t>(n));
    }
}

std::string utf16_bytes(const std::u16string& text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::u16string from_utf16_bytes(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

// Opens (creating it with mode 0600) a lock file of this user's; a link, a file that is not
// plain, one of another user or one others may open is refused (an empty descriptor).
FileDescriptor open_private_file(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.is_open()) return {};
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return fd;
}

enum class SocketFile { Missing, Ours, Foreign };

SocketFile socket_file(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? SocketFile::Missing : SocketFile::Foreign;
    return S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid() ? SocketFile::Ours : SocketFile::Foreign;
}

}  // namespace

bool is_private_folder(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::string private_runtime_folder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && is_private_folder(runtime)) return runtime;
    const std::string folder = to_utf8(temp_folder()) + "/vistrel-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return is_private_folder(folder) ? folder : std::string();
}

SingleInstance::SingleInstance(std::u16string name, std::u16string folder, InstanceWaits waits)
    : m_waits(waits) {
    const std::string place = folder.empty() ? private_runtime_folder() : to_utf8(folder);
    if (!is_private_folder(place)) {
        disable("no private folder for the single-instance check" +
                (place.empty() ? std::string() : " (" + place + " is open to others)"));
        return;
    }
    const std::string base = place + "/" + to_utf8(name);
    m_lock_path = base + ".lock";
    m_life_path = base + ".life";
    m_socket_path = base + ".socket";
}

SingleInstance::~SingleInstance() {
    stop_listening();
}

void SingleInstance::disable(std::string why) {
    trace() << "SingleInstance: " << why << "; more than one instance may run\n";
    m_enabled = false;
    m_note = std::move(why);
    m_lock.reset();
    m_life.reset();
}

void SingleInstance::stop_listening() {
    if (m_thread.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t n = ::write(m_wake_write.get(), &stop, 1);
        m_thread.join();
    }
    if (m_listener.is_open()) {
        if (socket_file(m_socket_path) == SocketFile::Ours) ::unlink(m_socket_path.c_str());
        m_listener.reset();
    }
    // The socket is gone before the life lock, so that a start that finds the lock free
    // also finds no socket to try.
    m_life.reset();
}

bool SingleInstance::take_start_lock() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(m_waits.start_ms);
    for (;;) {
        if (::flock(m_lock.get(), LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return false;
        ::poll(nullptr, 0, static_cast<int>(std::min<long long>(left, 20)));
    }
}

bool SingleInstance::take_life_lock() {
    FileDescriptor life = open_private_file(m_life_path);
    if (!life.is_open()) return false;
    while (::flock(life.get(), LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    m_life = std::move(life);
    return true;
}

bool SingleInstance::show_running_instance_open_bracket(const std::u16string& command_line) {
    trace() << "Application::show_running_instance_open_bracket cmd_line=" << command_line << "\n";
    m_note.clear();
    if (!m_enabled) return false;
    m_lock = open_private_file(m_lock_path);
    if (!m_lock.is_open()) {
        disable("cannot use " + m_lock_path);
        return false;
    }
    if (!take_start_lock()) {
        m_lock.reset();
        m_note = "the running instance is still starting; try again when it shows";
        return true;
    }
    const HandOver result = hand_over(command_line);
    if (result == HandOver::Delivered) {
        m_lock.reset();
        return true;
    }
    if (result == HandOver::Refused) {
        disable("cannot use " + m_socket_path);
        return false;
    }
    if (take_life_lock()) {
        // Nobody holds the life lock: no instance runs, and a socket left behind is stale.
        if (socket_file(m_socket_path) == SocketFile::Ours) ::unlink(m_socket_path.c_str());
        return false;
    }
    m_lock.reset();
    m_note = result == HandOver::NoAnswer
                 ? "the running instance is busy; it opens what was given when it can"
                 : "an instance is running but takes no command lines";
    return true;
}

SingleInstance::HandOver SingleInstance::hand_over(const std::u16string& command_line) {
    const SocketFile file = socket_file(m_socket_path);
    if (file == SocketFile::Missing) return HandOver::NoListener;
    if (file == SocketFile::Foreign) return HandOver::Refused;
    sockaddr_un address;
    if (!socket_address(m_socket_path, address)) return HandOver::Refused;
    // Non-blocking, so that a listener whose queue is full cannot hold this start up.
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.is_open()) return HandOver::NoListener;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return errno == EAGAIN ? HandOver::NoAnswer : HandOver::NoListener;
    trace() << "Application::EnumProc window found hwnd=" << fd.get() << " 1\n";
    const std::string bytes =
        utf16_bytes(command_line.empty() ? std::u16string(kEmptyCommandLineText) : command_line);
    if (!write_all(fd.get(), bytes.data(), bytes.size(), m_waits.answer_ms))
        return HandOver::NoAnswer;
    ::shutdown(fd.get(), SHUT_WR);
    // The send is synchronous: the running instance has queued the text when it answers.
    std::string answer;
    if (!read_all(fd.get(), answer, 16, m_waits.answer_ms) || answer != std::string(1, kAnswer))
        return HandOver::NoAnswer;
    trace() << "Application::EnumProc window found 2\n";
    return HandOver::Delivered;
}

void SingleInstance::close_bracket(Receiver receiver) {
    m_receiver = std::move(receiver);
    sockaddr_un address;
    if (m_enabled && m_life.is_open() && socket_address(m_socket_path, address)) {
        FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (socket_file(m_socket_path) == SocketFile::Ours) ::unlink(m_socket_path.c_str());
        if (fd.is_open() &&
            ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd.get(), 8) == 0) {
            m_listener = std::move(fd);
            int pipe_fds[2];
            if (::pipe2(pipe_fds, O_CLOEXEC) == 0) {
                m_wake_read.reset(pipe_fds[0]);
                m_wake_write.reset(pipe_fds[1]);
                m_thread = std::thread([this] { serve(); });
            }
        } else {
            trace() << "SingleInstance: cannot listen on " << m_socket_path << "\n";
        }
    }
    if (m_lock.is_open()) {
        ::flock(m_lock.get(), LOCK_UN);
        m_lock.reset();
    }
}

void SingleInstance::serve() {
    for (;;) {
        pollfd fds[2] = {{m_listener.get(), POLLIN, 0}, {m_wake_read.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        FileDescriptor client(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.is_open()) continue;
        std::string bytes;
        if (!read_all(client.get(), bytes, kMaxCommandLineBytes, kReadTimeoutMs)) continue;
        std::u16string text = from_utf16_bytes(bytes);
        if (text == kEmptyCommandLineText) text.clear();
        if (m_receiver) m_receiver(text);
        write_all(client.get(), &kAnswer, 1);
    }
}

}  // namespace vistrel
