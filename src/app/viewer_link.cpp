#include "viewer_link.h"

#include <memory>

#include "platform/trace.h"
#include "shell/application.h"
#include "screens/folder_screen.h"
#include "screens/image_viewer.h"
#include "screens/zoom_image.h"
#include "shell/idle_probes.h"
#include "skin/element_registry.h"
#include "skin/skin_errors.h"

namespace vistrel {

ViewerKinds::ViewerKinds() {
    register_bigpicture_kind(ElementRegistry::global());
}

ViewerKinds::~ViewerKinds() {
    unregister_bigpicture_kind(ElementRegistry::global());
}

namespace {

// The viewer as the folder screen's opener holds it.
struct ViewerHolder {
    ViewerHolder(Properties& p, PhotoLibrary& l) : properties(p), library(l) {}
    Properties& properties;
    PhotoLibrary& library;
    std::unique_ptr<ImageViewer> viewer;
    std::unique_ptr<IdleProbeScope> probe;  // goes before the viewer
};

}  // namespace

void connect_viewer(AlbumScreen& album, Properties& properties, PhotoLibrary& library,
                    OverlayParts overlay) {
    auto holder = std::make_shared<ViewerHolder>(properties, library);
    album.folder_screen().set_viewer_opener(
        [holder, overlay](const std::vector<std::u16string>& pictures, int index,
                 const std::u16string& drive) {
            if (!holder->viewer) {
                try {
                    holder->viewer = std::make_unique<ImageViewer>(holder->properties, holder->library);
                } catch (const dovado::SkinError& error) {
                    trace() << "ImageViewer: " << error.what() << "\n";
                    return;
                }
                ImageViewer* viewer = holder->viewer.get();
                viewer->set_overlay(overlay);
                holder->probe = std::make_unique<IdleProbeScope>([viewer] { return viewer->is_idle(); });
            }
            holder->viewer->open(pictures, index, drive);
        });
}

bool start_slide_show(AlbumScreen& album, const std::u16string& path, bool loop, bool shuffle) {
    if (!album.open_path(path)) return false;
    FolderScreen& folder = album.folder_screen();
    Application* app = Application::instance();
    // A folder opens on its grid: its first picture starts the show.
    if (app && !dynamic_cast<ImageViewer*>(app->top_screen()) && !folder.pictures().empty())
        folder.choose_picture(folder.pictures().front());
    auto* viewer = app ? dynamic_cast<ImageViewer*>(app->top_screen()) : nullptr;
    if (!viewer) {
        trace() << "start_slide_show: no viewer for " << path << "\n";
        return false;
    }
    viewer->set_slide_loop(loop);
    if (shuffle) viewer->set_shuffle(true);
    viewer->set_slide_show(true);
    return true;
}

}  // namespace vistrel
