#pragma once
// The name an album is shown under.

#include <string>

#include "skin/properties.h"

namespace vistrel {

// The folder's last path element; for the documents folder the language text of
// "MyDocuments" (the library's own name for it when the language has none).
std::u16string album_display_name(const Properties& properties, const std::u16string& folder);

}  // namespace vistrel
