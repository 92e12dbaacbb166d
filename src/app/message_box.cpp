#include "message_box.h"

#include <SDL.h>

#include <cstdio>

#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

void show_message(const std::u16string& caption, const std::u16string& text, bool on_desktop) {
    const std::string title = to_utf8(caption);
    const std::string body = to_utf8(text);
    trace() << "MessageBox " << text << "\n";
    std::fprintf(stderr, "%s: %s%s", title.c_str(), body.c_str(),
                 !body.empty() && body.back() == '\n' ? "" : "\n");
    if (on_desktop)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), body.c_str(), nullptr);
}

}  // namespace vistrel
