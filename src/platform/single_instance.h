#pragma once
// One running instance per user: two lock files and a Unix-domain socket, named after the
// window class name, in a folder only the user can reach ($XDG_RUNTIME_DIR when it is the
// user's own with mode 0700, else "<temporary folder>/vistrel-<uid>", made so).
//
// A start takes the start lock (waiting a bounded time while another start holds it) and
// tries the socket. When an instance answers there, the start hands it its command line and
// ends. The first instance holds the life lock from its start to its end and keeps the start
// lock until its window exists; then it listens on the socket and lets the start lock go.
// A start that finds no answer takes the life lock to learn whether the first instance
// lives: a lock nobody holds proves it gone (locks go with the process), and only then is
// its socket taken over. A living instance that is slow to answer is never duplicated.
//
// Files and folders owned by someone else, or open to others, are refused; the program then
// runs without the single-instance check rather than trust them.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/file_descriptor.h"

namespace vistrel {

// How long a start waits for another start's lock, and for a running instance's answer.
struct InstanceWaits {
    int start_ms = 10000;
    int answer_ms = 10000;
};

class SingleInstance {
public:
    // Receives a handed-over command line (empty text for an empty one) on the listening
    // thread.
    using Receiver = std::function<void(const std::u16string& command_line)>;

    // `name` is the window class name; `folder` the folder of the locks and the socket
    // (empty: the user's private runtime folder).
    explicit SingleInstance(std::u16string name, std::u16string folder = {},
                            InstanceWaits waits = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this start ends: a running instance took `command_line`, or one is running
    // but cannot take it now (note() says why). False when this is the first instance; the
    // start lock is then held until close_bracket.
    bool show_running_instance_open_bracket(const std::u16string& command_line);
    // Listens for later starts and releases the start lock.
    void close_bracket(Receiver receiver);
    // Takes no more command lines (later starts become first instances).
    void stop_listening();

    const std::string& lock_path() const { return m_lock_path; }
    const std::string& life_path() const { return m_life_path; }
    const std::string& socket_path() const { return m_socket_path; }
    bool listening() const { return m_listener.is_open(); }
    // False when the folder or a file in it was refused: no single-instance check.
    bool enabled() const { return m_enabled; }
    // Why the last start ended without handing over, or why the check is off; empty else.
    const std::string& note() const { return m_note; }

private:
    enum class HandOver { Delivered, NoAnswer, NoListener, Refused };

    bool take_start_lock();
    bool take_life_lock();
    HandOver hand_over(const std::u16string& command_line);
    void disable(std::string why);
    void serve();

    InstanceWaits m_waits;
    bool m_enabled = true;
    std::string m_note;
    std::string m_lock_path;
    std::string m_life_path;
    std::string m_socket_path;
    FileDescriptor m_lock;
    FileDescriptor m_life;
    FileDescriptor m_listener;
    FileDescriptor m_wake_read;
    FileDescriptor m_wake_write;
    Receiver m_receiver;
    std::thread m_thread;
};

// The user's private folder for the instance files: $XDG_RUNTIME_DIR when it is a folder of
// the user's with no access for others, else "<temporary folder>/vistrel-<uid>", made with
// mode 0700 when missing. Empty when neither is safe to use.
std::string private_runtime_folder();

// Whether `path` is a folder (not a link) of this user with no access for others.
bool is_private_folder(const std::string& path);

// The text sent for an empty command line.
inline constexpr char16_t kEmptyCommandLineText[] = u"%CommandLineEmpty%";

}  // namespace vistrel
