#pragma once
// The splash screen (skin node "Splash"), shown while the album screen is built on a
// builder thread of its own; when that has ended, the splash hands over to the album screen
// and leaves the stack. It owns the album screen.

#include <functional>
#include <memory>
#include <string>

#include "platform/threads.h"
#include "screens/album_screen.h"
#include "skin/properties.h"
#include "ui/container.h"

namespace vistrel {

class SplashScreen final : public Container, public SkinListener {
public:
    // Builds the album screen (on the builder thread).
    using AlbumFactory = std::function<std::unique_ptr<AlbumScreen>()>;
    // Runs once the album screen is shown (on the user-interface thread).
    using HandOver = std::function<void(AlbumScreen&)>;

    // Builds the splash from "Splash" (throws dovado::NodeNotFoundInSkin without it),
    // pushes it and starts the builder thread.
    SplashScreen(Properties& properties, AlbumFactory factory, HandOver hand_over = {});
    ~SplashScreen() override;

    void reload_skin(Properties& properties) override;
    void animate(double seconds) override;

    AlbumScreen* album_screen() const { return m_handed_over ? m_album.get() : nullptr; }
    bool handed_over() const { return m_handed_over; }

private:
    class Builder final : public WorkerThread {
    public:
        explicit Builder(SplashScreen& splash) : m_splash(splash) {}
        ~Builder() override { join(); }

    protected:
        void run() override;

    private:
        SplashScreen& m_splash;
    };

    void hand_over();

    Properties& m_properties;
    AlbumFactory m_factory;
    HandOver m_hand_over;
    double m_shown_time = 0;
    std::unique_ptr<AlbumScreen> m_album;
    bool m_handed_over = false;
    bool m_failed = false;
    std::string m_error;  // why the builder made no album screen
    Builder m_builder{*this};
};

}  // namespace vistrel
