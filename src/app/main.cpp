// vistrel: the photo browser's program entry.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "display/sdl_window.h"
#include "home_screen.h"
#include "options.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/monkey.h"
#include "shell/script.h"
#include "ui/element_kinds.h"

namespace {

using namespace vistrel;

// Set once an interrupt or termination arrived: a random session does not start the
// program again after it.
std::atomic<bool> g_interrupted{false};

// Turns an interrupt or termination into a close request of the window, from a thread of
// its own, so that the program shuts down in order.
class SignalBridge {
public:
    explicit SignalBridge(Window& window) : m_window(window) {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        sigaddset(&m_signals, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
        m_thread = std::thread([this] { wait_for_signals(); });
    }
    ~SignalBridge() {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
    }

private:
    void wait_for_signals() {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_signals, &signal) != 0 || signal == SIGUSR1) return;
            g_interrupted = true;
            WindowMessage message;
            message.kind = MessageKind::Close;
            m_window.post_message(std::move(message));
        }
    }

    Window& m_window;
    sigset_t m_signals;
    std::thread m_thread;
};

// `monkey`, when given, plays a random session instead of a script.
int run(const AppOptions& options, MonkeyPlayer* monkey) {
    std::unique_ptr<ScriptPlayer> player;
    if (!options.script.empty()) {
        Script script;
        std::string error;
        if (!load_script(options.script, script, error)) {
            std::fprintf(stderr, "vistrel: %s\n", error.c_str());
            return 1;
        }
        player = std::make_unique<ScriptPlayer>(std::move(script));
    }
    if (monkey) player = std::make_unique<ScriptPlayer>(Script{});
    // A script runs on a simulated clock, so it gives the same frames on any machine.
    std::unique_ptr<Clock> clock;
    if (player)
        clock = std::make_unique<SimulatedClock>(1000);
    else
        clock = std::make_unique<SystemClock>();

    std::unique_ptr<Window> window;
    if (!options.headless) {
        window = SdlWindow::create(options.profile, *clock, u"Vistrel");
        if (!window) {
            std::fprintf(stderr,
                         "vistrel: no desktop to open a window on (try --headless or "
                         "--framebuffer)\n");
            return 1;
        }
    } else {
        window = std::make_unique<HeadlessWindow>(options.profile, *clock);
    }
    Window& w = *window;
    UiElementKinds kinds;
    Application application(u"Vistrel", std::move(window), &kinds);
    SignalBridge signals(w);
    application.set_windowed_mode(false);
    application.set_direct_mode(w.system_orientation());
    application.set_direct_input(false);

    HomeScreen home;
    application.set_listener(&home);
    application.push_screen(&home, false);
    if (monkey) monkey->attach(application, *player);
    if (player) application.window_part().set_script(player.get());
    application.run();
    application.set_listener(nullptr);
    application.remove_screen(&home);
    return player && player->failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    vistrel::AppOptions options;
    std::string error;
    if (!vistrel::parse_options({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "vistrel: %s\n%s", error.c_str(), vistrel::options_usage());
        return 2;
    }
    if (options.help) {
        std::fputs(vistrel::options_usage(), stdout);
        return 0;
    }
    if (options.monkey.steps == 0) return run(options, nullptr);
    // The program ended before the random session did (its exit entry, say): it starts
    // again, as the user would start it, until every step has been played.
    std::unique_ptr<vistrel::MonkeyPlayer> monkey =
        vistrel::MonkeyPlayer::open(options.monkey, error);
    if (!monkey) {
        std::fprintf(stderr, "vistrel: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    while (status == 0 && !g_interrupted && monkey->start_again())
        status = run(options, monkey.get());
    return monkey->finish() ? status : 1;
}
