#include "start_up.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>

#include "display/sdl_window.h"
#include "message_box.h"
#include "platform/app_folders.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "screens/album_screen.h"
#include "screens/folder_screen.h"
#include "screens/screen_dump.h"
#include "shell/game_base.h"
#include "skin/skin_choice.h"
#include "viewer_link.h"
#include "window_place_store.h"

namespace vistrel {

namespace {

std::atomic<bool> g_interrupted{false};

// The screens on the stack, bottom first, for the script step `dump`.
std::string dump_screens(Application& application) {
    const Window& window = application.window();
    std::string out = "window " + std::to_string(window.screen_size().w) + "x" +
                      std::to_string(window.screen_size().h) +
                      (window.full_screen() ? " full_screen=1\n" : " full_screen=0\n");
    for (size_t i = 0; i < application.screen_count(); ++i) {
        out += "screen " + std::to_string(i) + (application.overlay_at(i) ? " overlay=1" : " overlay=0");
        // The picture an overlay on top is drawn over.
        const Size backdrop = application.snapshot_size();
        if (i + 1 == application.screen_count() && application.overlay_at(i) && !backdrop.empty())
            out += " backdrop=" + std::to_string(backdrop.w) + "x" + std::to_string(backdrop.h);
        out += "\n";
        if (auto* container = dynamic_cast<Container*>(application.screen_at(i)))
            dump_tree(*container, out, 1);
    }
    // The library's build threads, the most builds that ran at once, the builds ended and
    // the quick thumbnails asked for.
    if (PhotoLibrary* library = PhotoLibrary::instance())
        out += "library threads=" + std::to_string(library->build_threads()) +
               " at_once=" + std::to_string(library->most_builds_at_once()) +
               " built=" + std::to_string(library->builds_ended()) +
               " quick=" + std::to_string(library->quick_thumbnails_asked()) + "\n";
    return out;
}

}  // namespace

bool interrupted() {
    return g_interrupted;
}

SignalBridge::SignalBridge(Window& window) : m_window(window) {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    m_thread = std::thread([this] { wait_for_signals(); });
}

SignalBridge::~SignalBridge() {
    pthread_kill(m_thread.native_handle(), SIGUSR1);
    m_thread.join();
}

void SignalBridge::wait_for_signals() {
    for (;;) {
        int signal = 0;
        if (sigwait(&m_signals, &signal) != 0 || signal == SIGUSR1) return;
        g_interrupted = true;
        WindowMessage message;
        message.kind = MessageKind::Close;
        m_window.post_message(std::move(message));
    }
}

ListeningScope::ListeningScope(SingleInstance& single, Window& window) : m_single(single) {
    m_single.close_bracket([&window](const std::u16string& text) {
        // A box shown before the screens (no languages, no skins) comes to the front; the
        // window opens what was handed over once it runs.
        raise_message_box();
        WindowMessage message;
        message.kind = MessageKind::CopyData;
        message.text = text;
        window.post_message(std::move(message));
    });
}

ListeningScope::~ListeningScope() {
    m_single.stop_listening();
}

bool check_start(const AppOptions& options) {
    // A broken installation is named at once; the program goes on with what it has.
    if (const std::string problem = data_folder_problem(); !problem.empty())
        std::fprintf(stderr, "vistrel: %s\n", problem.c_str());
    if (!options.slideshow.empty() && !file_info(from_file_name(options.slideshow)).exists) {
        std::fprintf(stderr, "vistrel: cannot find %s to show as a slide show\n",
                     options.slideshow.c_str());
        return false;
    }
    return true;
}

bool handed_to_running_instance(SingleInstance& single, const std::u16string& command_line) {
    const bool handed = single.show_running_instance_open_bracket(command_line);
    if (!single.note().empty()) std::fprintf(stderr, "vistrel: %s\n", single.note().c_str());
    return handed;
}

std::u16string start_command_line(const AppOptions& options) {
    // A slide show is handed to a running instance as its path: that one opens it.
    return from_utf8(options.slideshow.empty() ? options.path : options.slideshow);
}

bool prepare_playback(const AppOptions& options, MonkeyPlayer* monkey, Playback& playback) {
    if (!options.script.empty()) {
        Script script;
        std::string error;
        if (!load_script(options.script, script, error)) {
            std::fprintf(stderr, "vistrel: %s\n", error.c_str());
            return false;
        }
        playback.player = std::make_unique<ScriptPlayer>(std::move(script));
    }
    if (monkey) playback.player = std::make_unique<ScriptPlayer>(Script{});
    if (playback.player)
        playback.clock = std::make_unique<SimulatedClock>(1000);
    else
        playback.clock = std::make_unique<SystemClock>();
    return true;
}

std::unique_ptr<Window> open_window(const AppOptions& options, BoardSession& board,
                                    Clock& clock, SdlWindow*& desktop) {
    // A frame on a board: a screen that cannot show ends the program with its reason.
    DeviceProfile profile = options.profile;
    if (!profile.framebuffer.empty()) {
        std::string problem;
        if (!board.start(profile, options.board, problem)) {
            std::fprintf(stderr, "vistrel: %s\n", problem.c_str());
            return nullptr;
        }
    }
    if (!options.headless) {
        std::unique_ptr<SdlWindow> made =
            SdlWindow::create(profile, clock, u"Vistrel", desktop_setup(options));
        desktop = made.get();
        std::unique_ptr<Window> window = std::move(made);
        if (!window)
            std::fprintf(stderr,
                         "vistrel: no desktop to open a window on (try --headless or "
                         "--framebuffer)\n");
        return window;
    }
    if (board.started()) return board.create_window(profile, clock);
    return std::make_unique<HeadlessWindow>(profile, clock);
}

bool choose_texts_and_skin(Properties& properties, const std::u16string& app_name,
                           Window& window) {
    if (!choose_language(properties, app_name)) {
        show_message(
            app_name,
            u"No languages, please reinstall\n"
            u"\u041d\u0435 \u043d\u0430\u0439\u0434\u0435\u043d\u044b "
            u"\u044f\u0437\u044b\u043a\u043e\u0432\u044b\u0435 "
            u"\u0444\u0430\u0439\u043b\u044b, \u043d\u0443\u0436\u043d\u0430 "
            u"\u043f\u0435\u0440\u0435\u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430\n",
            window);
        return false;
    }
    if (!choose_skin(properties, app_name, screen_of(window))) {
        show_message(app_name, properties.text_for(u"NoSkins"), window);
        return false;
    }
    return true;
}

void set_display_modes(Application& application, Window& window) {
    application.set_windowed_mode(false);
    application.set_direct_mode(window.system_orientation());
    application.set_direct_input(false);
}

std::unique_ptr<SplashScreen> show_splash(Properties& properties, PhotoLibrary& library,
                                          const ChoiceHandlers& choices,
                                          const AppOptions& options,
                                          const std::u16string& command_line) {
    // A folder named on the command line: the quick thumbnails of the pictures its grid
    // shows first are made while the splash is shown (its builder waits before it starts).
    // Not for a folder cached under itself: a search meanwhile may find the storage root
    // it is opened under, and its pictures are queued under that one.
    if (options.slideshow.empty() && !command_line.empty())
        if (const std::optional<PathAlbum> album = album_of_path(library, command_line);
            album && album->picture.empty() &&
            album->folder.drive_path != album->folder.folder_path)
            if (Application* app = Application::instance()) {
                const ScreenArea area = app->client_area();
                FolderScreen::ask_quick_thumbnails_ahead(
                    library, album->folder,
                    FolderScreen::cells_on_screen({area.client_width, area.client_height},
                                                  properties.scale_shift()));
            }
    return std::make_unique<SplashScreen>(
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
}

void attach_playback(Application& application, Playback& playback, MonkeyPlayer* monkey) {
    if (!playback.player) return;
    if (monkey) monkey->attach(application, *playback.player);
    playback.player->set_dumper([&application] { return dump_screens(application); });
    playback.player->set_build_switch([](bool hold) {
        if (PhotoLibrary* library = PhotoLibrary::instance()) library->hold_builds(hold);
    });
    application.window_part().set_script(playback.player.get());
}

ScreenInfo screen_of(Window& window) {
    const Size size = window.screen_size();
    return ScreenInfo{size.w, size.h, window.profile().dpi, window.system_orientation()};
}

}  // namespace vistrel
