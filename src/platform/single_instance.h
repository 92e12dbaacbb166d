#pragma once
// One running instance per user: a lock file and a Unix-domain socket in the runtime folder
// ($XDG_RUNTIME_DIR, else the temporary folder), both named after the window class name.
//
// A start takes the lock (waiting while another start holds it) and tries the socket. When
// an instance answers there, the start hands it its command line and ends. Otherwise it is
// the first instance: it keeps the lock until its window exists, then listens on the socket
// and lets the lock go, so a start that waited finds it listening. The lock goes with the
// process, and a socket nobody listens on is taken over, so a killed instance never keeps
// the program from starting.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/file_descriptor.h"

namespace vistrel {

class SingleInstance {
public:
    // Receives a handed-over command line (empty text for an empty one) on the listening
    // thread.
    using Receiver = std::function<void(const std::u16string& command_line)>;

    // `name` is the window class name; `folder` the folder of the lock and the socket
    // (empty: the runtime folder).
    explicit SingleInstance(std::u16string name, std::u16string folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when a running instance took `command_line`: the caller ends at once. False
    // when this is the first instance; the lock is then held until close_bracket.
    bool show_running_instance_open_bracket(const std::u16string& command_line);
    // Listens for later starts and releases the lock.
    void close_bracket(Receiver receiver);
    // Takes no more command lines (later starts become first instances).
    void stop_listening();

    const std::string& lock_path() const { return m_lock_path; }
    const std::string& socket_path() const { return m_socket_path; }
    bool listening() const { return m_listener.is_open(); }

private:
    bool hand_over(const std::u16string& command_line);
    void serve();

    std::string m_lock_path;
    std::string m_socket_path;
    FileDescriptor m_lock;
    FileDescriptor m_listener;
    FileDescriptor m_wake_read;
    FileDescriptor m_wake_write;
    Receiver m_receiver;
    std::thread m_thread;
};

// The text sent for an empty command line.
inline constexpr char16_t kEmptyCommandLineText[] = u"%CommandLineEmpty%";

}  // namespace vistrel
