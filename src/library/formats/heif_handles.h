#pragma once

// Owners of libheif's context, image handle and image, for the files that read HEIF.

#include <libheif/heif.h>

#include <memory>

namespace vistrel {

struct HeifContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct HeifImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};

using HeifContextPtr = std::unique_ptr<heif_context, HeifContextFree>;
using HeifHandlePtr = std::unique_ptr<heif_image_handle, HeifHandleFree>;
using HeifImagePtr = std::unique_ptr<heif_image, HeifImageFree>;

}  // namespace vistrel
