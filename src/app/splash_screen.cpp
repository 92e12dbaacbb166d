#include "splash_screen.h"

#include <cstdio>
#include <exception>

#include "platform/trace.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "skin/skin_errors.h"

namespace vistrel {

SplashScreen::SplashScreen(Properties& properties, AlbumFactory factory, HandOver hand_over)
    : m_properties(properties), m_factory(std::move(factory)), m_hand_over(std::move(hand_over)) {
    m_properties.add_skin_listener(this);
    reload_skin(properties);
    if (Application* app = Application::instance()) app->push_screen(this, true);
    m_builder.start();
}

SplashScreen::~SplashScreen() {
    m_builder.join();
    if (Application* app = Application::instance()) {
        if (m_album && app->listener() == m_album.get()) app->set_listener(nullptr);
        app->remove_screen(this);
    }
    m_album.reset();
    m_properties.remove_skin_listener(this);
}

void SplashScreen::reload_skin(Properties& properties) {
    if (!load_from_skin(*this, properties, u"Splash")) throw dovado::NodeNotFoundInSkin(u"Splash");
}

void SplashScreen::Builder::run() {
    sleep_ms(500);
    trace() << tick_count() << "WinMain 9\n";
    try {
        m_splash.m_album = m_splash.m_factory();
    } catch (const std::exception& error) {
        // A skin without the album screen's nodes: the splash stays, and says why.
        m_splash.m_error = error.what();
        trace() << tick_count() << " album screen not built: " << m_splash.m_error << "\n";
    }
    trace() << tick_count() << "WinMain 10\n";
}

void SplashScreen::animate(double seconds) {
    Container::animate(seconds);
    m_shown_time += seconds;
    if (m_handed_over || m_failed) return;
    if (m_builder.is_running()) {
        if (m_shown_time > 0.5) sleep_ms(100);
        return;
    }
    m_builder.join();
    if (m_album) {
        hand_over();
        return;
    }
    // The skin cannot make the album screen: nothing to hand over to, so the program ends.
    m_failed = true;
    std::fprintf(stderr, "vistrel: the skin cannot make the album screen: %s\n", m_error.c_str());
    if (Application* app = Application::instance()) app->quit();
}

void SplashScreen::hand_over() {
    Application* app = Application::instance();
    if (!app) return;
    m_handed_over = true;
    trace() << tick_count() << "WinMain 11\n";
    app->set_listener(m_album.get());
    app->window_part().deliver_command_lines();
    trace() << tick_count() << "WinMain 12\n";
    m_album->on_resolution_changed();
    app->push_screen(m_album.get(), false);
    trace() << tick_count() << "WinMain 13\n";
    app->remove_screen(this);
    trace() << tick_count() << "WinMain 14\n";
    if (m_hand_over) m_hand_over(*m_album);
}

}  // namespace vistrel
