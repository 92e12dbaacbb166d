#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
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

bool write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
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
        if (n < 0 && errno == EINTR) continue;
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

}  // namespace

SingleInstance::SingleInstance(std::u16string name, std::u16string folder) {
    if (folder.empty()) folder = runtime_folder();
    const std::string base = to_utf8(folder) + "/" + to_utf8(name);
    m_lock_path = base + ".lock";
    m_socket_path = base + ".socket";
}

SingleInstance::~SingleInstance() {
    stop_listening();
}

void SingleInstance::stop_listening() {
    if (m_thread.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t n = ::write(m_wake_write.get(), &stop, 1);
        m_thread.join();
    }
    if (m_listener.is_open()) {
        ::unlink(m_socket_path.c_str());
        m_listener.reset();
    }
}

bool SingleInstance::show_running_instance_open_bracket(const std::u16string& command_line) {
    trace() << "Application::show_running_instance_open_bracket cmd_line=" << command_line << "\n";
    m_lock.reset(::open(m_lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!m_lock.is_open()) {
        trace() << "Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    while (::flock(m_lock.get(), LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        trace() << "Application::show_running_instance_open_bracket mutex==0\n";
        m_lock.reset();
        return false;
    }
    if (!hand_over(command_line)) return false;
    ::flock(m_lock.get(), LOCK_UN);
    m_lock.reset();
    return true;
}

bool SingleInstance::hand_over(const std::u16string& command_line) {
    sockaddr_un address;
    if (!socket_address(m_socket_path, address)) return false;
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.is_open()) return false;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // Nobody listens: a socket left by an instance that was killed is taken over.
        if (errno == ECONNREFUSED) ::unlink(m_socket_path.c_str());
        return false;
    }
    trace() << "Application::EnumProc window found hwnd=" << fd.get() << " 1\n";
    const std::string bytes =
        utf16_bytes(command_line.empty() ? std::u16string(kEmptyCommandLineText) : command_line);
    if (!write_all(fd.get(), bytes.data(), bytes.size())) return false;
    ::shutdown(fd.get(), SHUT_WR);
    // The send is synchronous: the running instance has queued the text when it answers.
    std::string answer;
    if (!read_all(fd.get(), answer, 16, 10000) || answer != std::string(1, kAnswer)) return false;
    trace() << "Application::EnumProc window found 2\n";
    return true;
}

void SingleInstance::close_bracket(Receiver receiver) {
    m_receiver = std::move(receiver);
    sockaddr_un address;
    if (socket_address(m_socket_path, address)) {
        FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ::unlink(m_socket_path.c_str());
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
