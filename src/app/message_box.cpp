#include "message_box.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

// The box being shown: whether there is one, whether it was closed, raises asked for.
struct ShownBox {
    std::mutex mutex;
    std::condition_variable changed;
    bool showing = false;
    bool closed = false;
    int raises = 0;
};

ShownBox g_box;

}  // namespace

bool raise_message_box() {
    std::lock_guard lock(g_box.mutex);
    if (!g_box.showing) return false;
    ++g_box.raises;
    g_box.changed.notify_all();
    return true;
}

void show_raisable(const std::function<void()>& show, const std::function<void()>& raise) {
    {
        std::lock_guard lock(g_box.mutex);
        g_box.showing = true;
        g_box.closed = false;
        g_box.raises = 0;
    }
    std::thread box([&show] {
        show();
        std::lock_guard lock(g_box.mutex);
        g_box.closed = true;
        g_box.changed.notify_all();
    });
    std::unique_lock lock(g_box.mutex);
    for (;;) {
        g_box.changed.wait(lock, [] { return g_box.closed || g_box.raises > 0; });
        if (g_box.closed) break;
        g_box.raises = 0;
        lock.unlock();
        raise();
        lock.lock();
    }
    g_box.showing = false;
    lock.unlock();
    box.join();
}

void show_message(const std::u16string& caption, const std::u16string& text, Window& window) {
    const std::string body = to_utf8(text);
    trace() << "MessageBox " << text << "\n";
    std::fprintf(stderr, "%s: %s%s", to_utf8(caption).c_str(), body.c_str(),
                 !body.empty() && body.back() == '\n' ? "" : "\n");
    if (!window.on_desktop()) return;
    show_raisable([&] { window.show_message_box(caption, text); }, [&window] { window.restore(); });
}

}  // namespace vistrel
