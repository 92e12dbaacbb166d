#pragma once
// Where the image viewer joins the program: the element kind of its zoomable picture,
// registered from start-up to shutdown, and the folder screen's thumbnail press.

#include "screens/album_screen.h"

namespace vistrel {

// Registers the viewer's element kinds for its life.
class ViewerKinds {
public:
    ViewerKinds();
    ~ViewerKinds();
    ViewerKinds(const ViewerKinds&) = delete;
    ViewerKinds& operator=(const ViewerKinds&) = delete;
};

// Makes a thumbnail press of the album's folder screen open the viewer.
void connect_viewer(AlbumScreen& album);

}  // namespace vistrel
