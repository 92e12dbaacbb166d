// vistrel: the photo browser's program entry.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>

#include "display/sdl_window.h"
#include "library/jpeg/jpeg_guard.h"
#include "library/photo_library.h"
#include "menu_choices.h"
#include "options.h"
#include "platform/app_folders.h"
#include "platform/single_instance.h"
#include "platform/trace.h"
#include "screens/album_screen.h"
#include "screens/viewer_background.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/idle_probes.h"
#include "shell/monkey.h"
#include "skin/properties.h"
#include "splash_screen.h"
#include "start_up.h"
#include "ui/element_kinds.h"
#include "viewer_link.h"
#include "window_place_store.h"

namespace {

using namespace vistrel;

// One start of the program, phase by phase (start_up.h); `monkey`, when given, plays a
// random session instead of a script.
int run(const AppOptions& options, MonkeyPlayer* monkey) {
    if (!check_start(options)) return 1;
    trace() << tick_count() << "WinMain 0\n";

    // A running instance takes the command line, and this start ends.
    const std::u16string command_line = start_command_line(options);
    SingleInstance single(u"DezivovClass_Vistrel");
    if (handed_to_running_instance(single, command_line)) return 0;
    trace() << tick_count() << "WindMain 1\n";

    Properties properties;
    Playback playback;
    if (!prepare_playback(options, monkey, playback)) return 1;

    // The board session outlives the window it may make and the schedule it keeps.
    BoardSession board;
    SdlWindow* desktop = nullptr;
    std::unique_ptr<Window> window = open_window(options, board, *playback.clock, desktop);
    if (!window) return 1;
    Window& w = *window;
    UiElementKinds kinds;
    Application application(u"Vistrel", std::move(window), &kinds);
    // The window exists: later starts hand their command lines over from now on.
    ListeningScope listening(single, w);
    SignalBridge signals(w);

    if (!choose_texts_and_skin(properties, application.name(), w)) return 0;
    // Before the library decodes anything: transparent pictures show on the viewer's colour.
    TransparencyFollowsSkin transparency(properties);
    trace() << tick_count() << "WinMain 2\n";
    ViewerKinds viewer_kinds;
    trace() << tick_count() << "WinMain 3\n";

    PhotoLibraryOptions library_options;
    library_options.folder_list = folder_list_path();
    PhotoLibrary library(library_options);
    // News of a watched folder or of the mounts ends a rest of the frame loop.
    library.set_wake([&w] {
        WindowMessage message;
        message.kind = MessageKind::User;
        message.code = kWakeMessage;
        w.post_message(std::move(message));
    });
    trace() << tick_count() << "WinMain 4\n";
    trace() << tick_count() << "WinMain 5\n";

    set_display_modes(application, w);
    trace() << tick_count() << "WinMain 6\n";

    const ChoiceHandlers choices = menu_choices([&w] { return screen_of(w); });
    std::unique_ptr<SplashScreen> splash;
    // Background work the script step `settle` waits for: the splash's hand-over, then the
    // library's search and builds.
    IdleProbeScope library_probe([&splash] {
        AlbumScreen* album = splash ? splash->album_screen() : nullptr;
        return album && !album->library_busy();
    });
    splash = show_splash(properties, library, choices, options, command_line);
    trace() << tick_count() << "WinMain 7\n";

    attach_playback(application, playback, monkey);
    // A blank screen builds no cache files either.
    std::unique_ptr<ScreenKeeper> keeper =
        board.keep_schedule(w, [&library](bool on) { library.set_paused(!on); });
    application.run();
    library.set_wake({});
    keeper.reset();
    if (desktop && desktop_setup(options).follow_window) write_window_place(desktop->place());
    trace() << tick_count() << "WinMain 8\n";
    splash.reset();
    return playback.player && playback.player->failed() ? 1 : 0;
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
    if (options.restore_console) {
        if (vistrel::ConsoleMode::restore("", error)) return 0;
        std::fprintf(stderr, "vistrel: %s\n", error.c_str());
        return 1;
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
    while (status == 0 && !vistrel::interrupted() && monkey->start_again())
        status = run(options, monkey.get());
    return monkey->finish() ? status : 1;
}
