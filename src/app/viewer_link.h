#pragma once
// Where the image viewer joins the program: the element kind of its zoomable picture,
// registered from start-up to shutdown, and the folder screen's thumbnail press.

#include "library/photo_library.h"
#include "screens/album_screen.h"
#include "screens/image_viewer.h"
#include "skin/properties.h"

namespace vistrel {

// Registers the viewer's element kinds for its life.
class ViewerKinds {
public:
    ViewerKinds();
    ~ViewerKinds();
    ViewerKinds(const ViewerKinds&) = delete;
    ViewerKinds& operator=(const ViewerKinds&) = delete;
};

// Makes a thumbnail press of the album's folder screen open the viewer. The folder screen
// owns the viewer (made on the first press) and its worker; `settle` waits for it.
// `overlay` tells what the viewer shows over its picture.
void connect_viewer(AlbumScreen& album, Properties& properties, PhotoLibrary& library,
                    OverlayParts overlay = {});

// Opens `path` (a folder: its first picture; a picture: that one) in the viewer and starts
// the slide show, over and over with `loop`, shuffled with `shuffle` (else as the settings
// say). False, with a trace line, when nothing opened.
bool start_slide_show(AlbumScreen& album, const std::u16string& path, bool loop,
                      bool shuffle = false);

}  // namespace vistrel
