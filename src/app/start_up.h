#pragma once
// The phases of the program's start, one function each, in the order `run` in main.cpp
// takes them: check what the command line names, hand over to a running instance, prepare
// a script or random session, open the window, choose the texts and the skin, set the
// display modes, build the screens, play.

#include <signal.h>

#include <memory>
#include <string>
#include <thread>

#include "display/sdl_window.h"
#include "display/window.h"
#include "frame/board_session.h"
#include "library/photo_library.h"
#include "options.h"
#include "platform/single_instance.h"
#include "screens/choice_handlers.h"
#include "shell/application.h"
#include "shell/monkey.h"
#include "shell/script.h"
#include "skin/properties.h"
#include "skin/screen_info.h"
#include "splash_screen.h"

namespace vistrel {

// True once an interrupt or termination arrived: a random session does not start the
// program again after it.
bool interrupted();

// Turns an interrupt or termination into a close request of the window, from a thread of
// its own, so that the program shuts down in order.
class SignalBridge {
public:
    explicit SignalBridge(Window& window);
    ~SignalBridge();
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

private:
    void wait_for_signals();

    Window& m_window;
    sigset_t m_signals;
    std::thread m_thread;
};

// Takes the command lines of later starts while the window lives: they reach the window as
// copy-data messages.
class ListeningScope {
public:
    ListeningScope(SingleInstance& single, Window& window);
    ~ListeningScope();
    ListeningScope(const ListeningScope&) = delete;
    ListeningScope& operator=(const ListeningScope&) = delete;

private:
    SingleInstance& m_single;
};

// False, with a message, when the command line names what cannot be started (a slide show
// of a missing path); names a broken installation and goes on.
bool check_start(const AppOptions& options);

// The text handed to a running instance and opened by this one: a slide show's path, else
// the path to open.
std::u16string start_command_line(const AppOptions& options);

// True when a running instance took the command line (or is running and cannot take it
// now, which is said): this start ends. False for the first instance.
bool handed_to_running_instance(SingleInstance& single, const std::u16string& command_line);

// A script or random session and the clock it runs on: a simulated one, so that it gives
// the same frames on any machine; the system clock without a session.
struct Playback {
    std::unique_ptr<ScriptPlayer> player;
    std::unique_ptr<Clock> clock;
};

// False, with a message, when the script does not load.
bool prepare_playback(const AppOptions& options, MonkeyPlayer* monkey, Playback& playback);

// The desktop window, or a headless one; null, with a message, without a desktop.
// The window, or the reason on standard error; `desktop` is set to the desktop window.
std::unique_ptr<Window> open_window(const AppOptions& options, BoardSession& board,
                                    Clock& clock, SdlWindow*& desktop);

// Loads the language and the skin; false after telling the user which is missing.
bool choose_texts_and_skin(Properties& properties, const std::u16string& app_name, Window& window);

// Full screen, the system's orientation, input through the window.
void set_display_modes(Application& application, Window& window);

// The splash, which builds the album screen and then opens what the command line names.
std::unique_ptr<SplashScreen> show_splash(Properties& properties, PhotoLibrary& library,
                                          const ChoiceHandlers& choices,
                                          const AppOptions& options,
                                          const std::u16string& command_line);

// Hands the window to the script or random session, and gives the script its `dump`.
void attach_playback(Application& application, Playback& playback, MonkeyPlayer* monkey);

// The screen a skin is loaded for.
ScreenInfo screen_of(Window& window);

}  // namespace vistrel
