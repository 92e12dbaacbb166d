#include "options.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace vistrel {

namespace {

bool parse_int(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::atoi(text.c_str());
    return value >= low && value <= high;
}

bool parse_count(const std::string& text, uint64_t high, uint64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return value <= high;
}

bool parse_size(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    return x != std::string::npos && parse_int(text.substr(0, x), 16, 4096, width) &&
           parse_int(text.substr(x + 1), 16, 4096, height);
}

// A path as the running instance (with another working folder) must see it.
std::string absolute_path(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

}  // namespace

const char* options_usage() {
    return "usage: vistrel [OPTIONS] [PATH]\n"
           "  PATH                a folder to open as its album, or a picture to open in it\n"
           "  --screen WxH        the device's screen in its own orientation (default 480x640)\n"
           "  --dpi N             its dots per inch (default 192)\n"
           "  --smartphone        a Smartphone-class device (soft keys, no touch screen)\n"
           "  --orientation N     the system shows the screen turned by N quarter turns (0..3)\n"
           "  --headless          no window: draw off-screen (for scripts and tests)\n"
           "  --script FILE       run the steps of FILE on a simulated clock, then end\n"
           "  --monkey SEED       play a random session from SEED (0..4294967295) on a simulated\n"
           "                      clock, then end; the same seed plays the same steps\n"
           "  --steps N           the random session's number of steps (1..1000000000)\n"
           "  --monkey-log FILE   where the random session writes its steps (default: stderr)\n"
           "  --framebuffer DEV   show frames on a Linux frame buffer such as /dev/fb0\n"
           "  --slideshow PATH    show the pictures of the folder PATH (or from the picture PATH\n"
           "                      on) as a slide show\n"
           "  --loop              with --slideshow: start over after the last picture\n"
           "  --shuffle           with --slideshow: show every picture once in a random order,\n"
           "                      a new order each round\n"
           "  --overlay LIST      over the viewer's picture: date (taken), caption (else the\n"
           "                      album's name), both as date,caption, or none (the default)\n"
           "  --help              this text\n";
}

bool parse_options(const std::vector<std::string>& args, AppOptions& options, std::string& error) {
    bool seeded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--headless") {
            options.headless = true;
        } else if (a == "--smartphone") {
            options.profile.smartphone = true;
        } else if (a == "--screen") {
            if (!value(v)) return false;
            if (!parse_size(v, options.profile.screen.w, options.profile.screen.h)) {
                error = "--screen takes WIDTHxHEIGHT, each 16..4096";
                return false;
            }
        } else if (a == "--dpi") {
            if (!value(v)) return false;
            if (!parse_int(v, 48, 960, options.profile.dpi)) {
                error = "--dpi takes a number from 48 to 960";
                return false;
            }
        } else if (a == "--orientation") {
            if (!value(v)) return false;
            if (!parse_int(v, 0, 3, options.profile.orientation)) {
                error = "--orientation takes 0, 1, 2 or 3";
                return false;
            }
        } else if (a == "--script") {
            if (!value(options.script)) return false;
        } else if (a == "--monkey") {
            uint64_t seed = 0;
            if (!value(v)) return false;
            if (!parse_count(v, UINT32_MAX, seed)) {
                error = "--monkey takes a seed from 0 to 4294967295";
                return false;
            }
            options.monkey.seed = uint32_t(seed);
            seeded = true;
        } else if (a == "--steps") {
            if (!value(v)) return false;
            if (!parse_count(v, 1000000000, options.monkey.steps) || options.monkey.steps == 0) {
                error = "--steps takes a number from 1 to 1000000000";
                return false;
            }
        } else if (a == "--monkey-log") {
            if (!value(options.monkey.log)) return false;
        } else if (a == "--framebuffer") {
            if (!value(options.profile.framebuffer)) return false;
        } else if (a == "--slideshow") {
            if (!value(options.slideshow)) return false;
            if (options.slideshow.empty()) {
                error = "--slideshow needs a folder or a picture";
                return false;
            }
            options.slideshow = absolute_path(options.slideshow);
        } else if (a == "--loop") {
            options.loop = true;
        } else if (a == "--shuffle") {
            options.shuffle = true;
        } else if (a == "--overlay") {
            if (!value(v)) return false;
            if (!parse_overlay(v, options.overlay)) {
                error = "--overlay takes date, caption, date,caption or none";
                return false;
            }
        } else if (!a.empty() && a[0] != '-' && options.path.empty()) {
            options.path = absolute_path(a);
        } else {
            error = a.empty() || a[0] == '-' ? "unknown option " + a : "only one PATH may be given";
            return false;
        }
    }
    if ((options.loop || options.shuffle) && options.slideshow.empty()) {
        error = std::string(options.loop ? "--loop" : "--shuffle") + " goes with --slideshow";
        return false;
    }
    if (!options.slideshow.empty() && !options.path.empty()) {
        error = "give either PATH or --slideshow PATH";
        return false;
    }
    if (seeded != (options.monkey.steps > 0) || (!seeded && !options.monkey.log.empty())) {
        error = "--monkey, --steps and --monkey-log go together";
        return false;
    }
    if (seeded && !options.script.empty()) {
        error = "--monkey and --script exclude each other";
        return false;
    }
    return true;
}

}  // namespace vistrel
