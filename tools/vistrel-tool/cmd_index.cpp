// vistrel-tool index: searches the storage for pictures and builds every missing cache
// file, as the program's photo library does, with progress on the terminal.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "library/cache/cache_builder.h"
#include "library/drives.h"
#include "library/formats/picture_source.h"
#include "library/photo_library.h"
#include "platform/app_folders.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "library/jpeg/jpeg_guard.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_index(const std::vector<std::string>& args);

const ToolCommand kCommand{
    "index", "[--list] [--jobs N] [--documents DIR] [--cards DIR:DIR...] [--folders FILE]",
    "searches the documents folder and the storage cards (or the folders given) for pictures, "
    "builds every missing cache file with a progress bar, writes the folder list (FILE, by "
    "default the one the program reads, see 'expand --files') and prints the albums found; "
    "--list prints every picture built, names byte for byte as the file system holds them; "
    "--jobs builds N pictures at once (by default one per processor); a picture that cannot "
    "be cached is listed with the reason",
    run_index};
const ToolCommandRegistration kRegistration(kCommand);

volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
    g_interrupted = 1;
}

// What the library has told us so far.
class IndexListener final : public LibraryListener {
public:
    void on_library_event(const LibraryEvent& event) override {
        if (event.search_complete) search_complete = true;
        if (event.cache_complete) cache_complete = true;
        if (!event.path.empty()) built.push_back({event.path, event.failed});
    }

    struct Built {
        std::u16string path;
        bool failed = false;
    };
    bool search_complete = false;
    bool cache_complete = false;
    std::vector<Built> built;
};

class ProgressLine {
public:
    explicit ProgressLine(bool terminal) : m_terminal(terminal) {}

    void show(const std::string& text) {
        if (m_terminal) {
            std::printf("\r%-78s", text.c_str());
            std::fflush(stdout);
        } else if (text != m_last) {
            // Without a terminal, a line now and then.
            const uint32_t now = tick_count();
            if (now - m_last_tick < 5000 && !m_last.empty()) return;
            std::printf("%s\n", text.c_str());
            m_last_tick = now;
        }
        m_last = text;
    }
    void end() {
        if (m_terminal && !m_last.empty()) std::printf("\n");
    }

private:
    bool m_terminal;
    std::string m_last;
    uint32_t m_last_tick = 0;
};

// What became of each picture built, in the order the builds ended; filled by the
// library's build threads.
class BuildResults {
public:
    struct Result {
        std::u16string picture;
        CacheProblem problem = CacheProblem::None;
    };
    void add(const std::u16string& picture, CacheProblem problem) {
        {
            std::scoped_lock lock(m_mutex);
            m_results.push_back({picture, problem});
        }
        m_added.notify_all();
    }
    // Waits until more than `seen` builds are done, or `timeout` passes; whether they are.
    bool wait_for_more(int seen, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_added.wait_for(lock, timeout, [&] { return int(m_results.size()) > seen; });
    }
    int done() const {
        std::scoped_lock lock(m_mutex);
        return static_cast<int>(m_results.size());
    }
    std::vector<Result> results() const {
        std::scoped_lock lock(m_mutex);
        return m_results;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_added;
    std::vector<Result> m_results;
};

std::string bar(int value, int max) {
    constexpr int kWidth = 30;
    const int filled = max > 0 ? std::min(kWidth, int(int64_t(value) * kWidth / max)) : 0;
    return "[" + std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), '-') + "]";
}

std::string status(PhotoLibrary& library, const IndexListener& listener, const BuildResults& pool,
                   uint64_t start_us) {
    char text[160];
    const LibraryProgress progress = library.progress();
    if (!listener.search_complete) {
        std::snprintf(text, sizeof text, "searching: %d albums, %d pictures to build",
                      library.get_folders_size(), progress.max);
        return text;
    }
    // Once every picture is built the library's counters start again from 0.
    int max = progress.max;
    if (listener.cache_complete || max == 0) max = int(listener.built.size());
    const int value = pool.done();
    const double seconds = double(micro_ticks() - start_us) / 1e6;
    std::snprintf(text, sizeof text, "%s %d/%d pictures", bar(value, max).c_str(), value, max);
    // The rate once it means something.
    if (seconds >= 0.5)
        std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text),
                      ", %.1f pictures/s", value / seconds);
    return text;
}

std::string reason_for(const BuildResults::Result& result);

void print_albums(PhotoLibrary& library, const BuildResults& pool, bool list) {
    const int count = library.get_folders_size();
    int pictures = 0;
    std::printf("%d albums:\n", count);
    for (int i = 0; i < count; ++i) {
        const Folder folder = library.get_folder(i);
        pictures += folder.size;
        std::printf("  %-30s %6d pictures  %s\n",
                    to_utf8(PhotoLibrary::folder_display_name(folder.folder_path)).c_str(),
                    folder.size, to_utf8(folder.folder_path).c_str());
    }
    int failed = 0;
    const std::vector<BuildResults::Result> results = pool.results();
    for (const BuildResults::Result& result : results) {
        const bool built = result.problem == CacheProblem::None;
        if (list && built) std::printf("  built: %s\n", to_utf8(result.picture).c_str());
        if (built) continue;
        if (list || failed < 20)
            std::printf("  could not be cached: %s (%s)\n", to_utf8(result.picture).c_str(),
                        reason_for(result).c_str());
        ++failed;
    }
    std::printf("%d pictures, %zu cache files built, %d pictures could not be cached\n", pictures,
                results.size() - size_t(failed), failed);
}

// What went wrong, in the words of the picture's reader when it refused the picture.
std::string reason_for(const BuildResults::Result& result) {
    std::string reason = describe(result.problem);
    if (result.problem != CacheProblem::NotReadable && result.problem != CacheProblem::Damaged)
        return reason;
    std::string why;
    std::unique_ptr<PictureSource> source = open_picture_source(result.picture, &why);
    if (source) {
        std::vector<uint8_t> row(size_t(source->width()) * 3);
        while (source->read_row(row.data())) {
        }
        why = source->problem();
    }
    return why.empty() ? reason : reason + ": " + why;
}

int run_index(const std::vector<std::string>& raw) {
    Options options(raw);
    const std::string documents = options.value("documents");
    const std::string cards = options.value("cards");
    const std::string folders = options.value("folders");
    const bool list = options.flag("list");
    const std::string jobs = options.value("jobs");
    const int builders = jobs.empty() ? default_build_threads() : std::atoi(jobs.c_str());
    if (builders < 1 || builders > 64) return usage_error(kCommand);
    std::vector<std::string> args;
    if (!options.positional(args) || !args.empty()) return usage_error(kCommand);
    if (!documents.empty()) setenv("VISTREL_DOCUMENTS", documents.c_str(), 1);
    // Only the cards given: an empty list when documents alone are asked for.
    if (!cards.empty() || !documents.empty()) setenv("VISTREL_CARDS", cards.c_str(), 1);
    if (!documents_folder_exists())
        std::printf("no documents folder (%s names no existing folder): only the cards are "
                    "searched\n",
                    documents.empty() ? "%my_documents%" : documents.c_str());

    // Our own words for pictures that cannot be cached, not the decoder's.
    show_jpeg_messages(false);
    BuildResults pool;
    PhotoLibraryOptions library_options;
    library_options.folder_list = folders.empty() ? folder_list_path() : from_file_name(folders);
    library_options.build_threads = builders;
    // The library's build threads, noting what became of each picture.
    library_options.build_cache = [&pool](const std::u16string& picture,
                                          const std::u16string& drive, const StopTest& stop) {
        const CacheProblem problem = build_cache_file_for(
            picture, drive, [&stop] { return g_interrupted != 0 || stop(); });
        pool.add(picture, problem);
        return problem == CacheProblem::None;
    };
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
    ProgressLine line(isatty(STDOUT_FILENO));
    IndexListener listener;
    const uint64_t start_us = micro_ticks();
    bool interrupted = false;
    {
        PhotoLibrary library(library_options);
        library.add_listener(&listener);
        library.need_search();
        uint64_t builds_start_us = start_us;
        bool just_built = false;
        for (;;) {
            // Taken before the library's news, so that a build ending meanwhile is not missed.
            const int seen = pool.done();
            library.poll_events();
            if (g_interrupted) {
                interrupted = true;
                break;
            }
            if (listener.search_complete && builds_start_us == start_us)
                builds_start_us = micro_ticks();
            line.show(status(library, listener, pool, builds_start_us));
            if ((listener.cache_complete ||
                 (listener.search_complete && library.progress().max == 0)) &&
                pool.done() == int(listener.built.size()))
                break;
            // A build's end wakes the loop at once, so the end of the last one is seen
            // without waiting out a poll; the library's own news of it follows within
            // moments, and is looked for soon after, as is the end of the search (a folder
            // already cached ends with it).
            const int wait_ms = just_built ? 5 : listener.search_complete ? 100 : 10;
            just_built = pool.wait_for_more(seen, std::chrono::milliseconds(wait_ms));
        }
        line.end();
        if (!interrupted) print_albums(library, pool, list);
        library.remove_listener(&listener);
    }
    std::printf("%s after %.1f s; folder list: %s\n", interrupted ? "interrupted" : "done",
                double(micro_ticks() - start_us) / 1e6,
                to_utf8(library_options.folder_list).c_str());
    return interrupted ? kExitFailure : kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
