#include "viewer_link.h"

#include <memory>

#include "platform/trace.h"
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

void connect_viewer(AlbumScreen& album, Properties& properties, PhotoLibrary& library) {
    auto holder = std::make_shared<ViewerHolder>(properties, library);
    album.folder_screen().set_viewer_opener(
        [holder](const std::vector<std::u16string>& pictures, int index,
                 const std::u16string& drive) {
            if (!holder->viewer) {
                try {
                    holder->viewer = std::make_unique<ImageViewer>(holder->properties, holder->library);
                } catch (const dovado::SkinError& error) {
                    trace() << "ImageViewer: " << error.what() << "\n";
                    return;
                }
                ImageViewer* viewer = holder->viewer.get();
                holder->probe = std::make_unique<IdleProbeScope>([viewer] { return viewer->is_idle(); });
            }
            holder->viewer->open(pictures, index, drive);
        });
}

}  // namespace vistrel
