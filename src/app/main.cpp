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
#include "library/jpeg/jpeg_guard.h"
#include "library/photo_library.h"
#include "menu_choices.h"
#include "message_box.h"
#include "options.h"
#include "platform/app_folders.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "screens/album_screen.h"
#include "screens/screen_dump.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/idle_probes.h"
#include "shell/monkey.h"
#include "shell/script.h"
#include "skin/properties.h"
#include "skin/skin_choice.h"
#include "splash_screen.h"
#include "ui/element_kinds.h"
#include "viewer_link.h"

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

// Takes the command lines of later starts while the window lives.
class ListeningScope {
public:
    ListeningScope(SingleInstance& single, SingleInstance::Receiver receiver) : m_single(single) {
        m_single.close_bracket(std::move(receiver));
    }
    ~ListeningScope() { m_single.stop_listening(); }
    ListeningScope(const ListeningScope&) = delete;
    ListeningScope& operator=(const ListeningScope&) = delete;

private:
    SingleInstance& m_single;
};

// The screens on the stack, bottom first, for the script step `dump`.
std::string dump_screens(Application& application) {
    std::string out;
    for (size_t i = 0; i < application.screen_count(); ++i) {
        out += "screen " + std::to_string(i) +
               (application.overlay_at(i) ? " overlay=1\n" : " overlay=0\n");
        if (auto* container = dynamic_cast<Container*>(application.screen_at(i)))
            dump_tree(*container, out, 1);
    }
    // The library's build threads, the most builds that ran at once and the builds ended.
    if (PhotoLibrary* library = PhotoLibrary::instance())
        out += "library threads=" + std::to_string(library->build_threads()) +
               " at_once=" + std::to_string(library->most_builds_at_once()) +
               " built=" + std::to_string(library->builds_ended()) + "\n";
    return out;
}

ScreenInfo screen_of(Window& window) {
    const Size size = window.screen_size();
    return ScreenInfo{size.w, size.h, window.profile().dpi, window.system_orientation()};
}

// `monkey`, when given, plays a random session instead of a script.
int run(const AppOptions& options, MonkeyPlayer* monkey) {
    // A broken installation is named at once; the program goes on with what it has.
    if (const std::string problem = data_folder_problem(); !problem.empty())
        std::fprintf(stderr, "vistrel: %s\n", problem.c_str());
    if (!options.slideshow.empty() && !file_info(from_file_name(options.slideshow)).exists) {
        std::fprintf(stderr, "vistrel: cannot find %s to show as a slide show\n",
                     options.slideshow.c_str());
        return 1;
    }
    trace() << tick_count() << "WinMain 0\n";
    // A slide show is handed to a running instance as its path: that one opens it.
    const std::u16string command_line =
        from_utf8(options.slideshow.empty() ? options.path : options.slideshow);
    SingleInstance single(u"DezivovClass_Vistrel");
    if (single.show_running_instance_open_bracket(command_line)) return 0;
    trace() << tick_count() << "WindMain 1\n";

    Properties properties;
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
    const bool on_desktop = w.on_desktop();
    UiElementKinds kinds;
    Application application(u"Vistrel", std::move(window), &kinds);
    // The window exists: later starts hand their command lines over from now on.
    ListeningScope listening(single, [&w](const std::u16string& text) {
        WindowMessage message;
        message.kind = MessageKind::CopyData;
        message.text = text;
        w.post_message(std::move(message));
    });
    SignalBridge signals(w);

    if (!choose_language(properties, application.name())) {
        show_message(
            application.name(),
            u"No languages, please reinstall\n"
            u"\u041d\u0435 \u043d\u0430\u0439\u0434\u0435\u043d\u044b "
            u"\u044f\u0437\u044b\u043a\u043e\u0432\u044b\u0435 "
            u"\u0444\u0430\u0439\u043b\u044b, \u043d\u0443\u0436\u043d\u0430 "
            u"\u043f\u0435\u0440\u0435\u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430\n",
            on_desktop);
        return 0;
    }
    if (!choose_skin(properties, application.name(), screen_of(w))) {
        show_message(application.name(), properties.text_for(u"NoSkins"), on_desktop);
        return 0;
    }
    trace() << tick_count() << "WinMain 2\n";
    ViewerKinds viewer_kinds;
    trace() << tick_count() << "WinMain 3\n";
    PhotoLibraryOptions library_options;
    library_options.folder_list = folder_list_path();
    PhotoLibrary library(library_options);
    trace() << tick_count() << "WinMain 4\n";
    trace() << tick_count() << "WinMain 5\n";
    application.set_windowed_mode(false);
    application.set_direct_mode(w.system_orientation());
    application.set_direct_input(false);
    trace() << tick_count() << "WinMain 6\n";

    const ChoiceHandlers choices = menu_choices([&w] { return screen_of(w); });
    std::unique_ptr<SplashScreen> splash;
    // Background work the script step `settle` waits for: the splash's hand-over, then the
    // library's search and builds.
    IdleProbeScope library_probe([&splash] {
        AlbumScreen* album = splash ? splash->album_screen() : nullptr;
        return album && !album->library_busy();
    });
    splash = std::make_unique<SplashScreen>(
        properties,
        [&properties, &library, &choices] {
            return std::make_unique<AlbumScreen>(properties, library, choices, 1);
        },
        [&command_line, &properties, &library, &options](AlbumScreen& album) {
            connect_viewer(album, properties, library, options.overlay);
            if (!options.slideshow.empty())
                start_slide_show(album, command_line, options.loop, options.shuffle);
            else if (!command_line.empty())
                album.open_path(command_line);
        });
    trace() << tick_count() << "WinMain 7\n";
    if (monkey) monkey->attach(application, *player);
    if (player) {
        player->set_dumper([&application] { return dump_screens(application); });
        application.window_part().set_script(player.get());
    }
    application.run();
    trace() << tick_count() << "WinMain 8\n";
    splash.reset();
    return player && player->failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Interrupts and terminations wait for the signal bridge's sigwait: every thread the
    // program starts (the single-instance listener, the library's worker, SDL's own) inherits
    // this mask, so none of them can take the signal and end the process out of order.
    sigset_t close_signals;
    sigemptyset(&close_signals);
    sigaddset(&close_signals, SIGINT);
    sigaddset(&close_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &close_signals, nullptr);
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
    // What the decoder says of damaged pictures goes to the trace log; the screens show
    // such pictures as they can.
    vistrel::show_jpeg_messages(false);
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
