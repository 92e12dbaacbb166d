#pragma once
// What the photo library tests share: an event log, a cache builder that builds on
// request, a bounded wait, and a fixture with a documents folder of generated pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/photo_library.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "support/test_support.h"

namespace vistrel::test {

namespace fs = std::filesystem;

constexpr char16_t kDocuments[] = u"%my_documents%/";

// Everything the listeners were told, in order.
class EventLog final : public LibraryListener {
public:
    void on_library_event(const LibraryEvent& event) override { events.push_back(event); }
    int count(bool LibraryEvent::*flag) const {
        return int(std::count_if(events.begin(), events.end(),
                                 [&](const LibraryEvent& e) { return e.*flag; }));
    }
    std::vector<std::u16string> paths() const {
        std::vector<std::u16string> out;
        for (const LibraryEvent& e : events)
            if (!e.path.empty()) out.push_back(e.path);
        return out;
    }
    std::vector<double> fractions() const {
        std::vector<double> out;
        for (const LibraryEvent& e : events)
            if (e.progress) out.push_back(e.fraction);
        return out;
    }
    std::vector<LibraryEvent> events;
};

// A cache builder that builds only as many pictures as it is allowed to, in the order the
// worker asks, and records that order.
class GatedBuilder {
public:
    CacheBuildFunction function() {
        return [this](const std::u16string& picture, const std::u16string& drive,
                      const StopTest& stop) {
            {
                std::unique_lock lock(m_mutex);
                m_order.push_back(picture);
                m_changed.notify_all();
                while (m_allowed == 0 && !stop())
                    m_changed.wait_for(lock, std::chrono::milliseconds(1));
                if (m_allowed > 0) --m_allowed;
            }
            return build_cache_file(picture, drive, stop);
        };
    }
    void allow(int count) {
        std::scoped_lock lock(m_mutex);
        m_allowed += count;
        m_changed.notify_all();
    }
    std::vector<std::u16string> order() {
        std::scoped_lock lock(m_mutex);
        return m_order;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_allowed = 0;
    std::vector<std::u16string> m_order;
};

// Waits (a bounded while, as a guard against hangs) until the condition holds.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 20000; ++i) {
        if (condition()) return true;
        sleep_ms(1);
    }
    return condition();
}

class PhotoLibraryTest : public ::testing::Test {
protected:
    PhotoLibraryTest()
        : m_documents("VISTREL_DOCUMENTS", (m_root.path() / "docs").string()),
          m_cards("VISTREL_CARDS", "") {
        fs::create_directories(m_root.path() / "docs");
    }

    // A small picture below the documents folder; returns its library path.
    std::u16string add(const std::string& relative, int pattern = 0) {
        const fs::path file = m_root.path() / "docs" / relative;
        fs::create_directories(file.parent_path());
        test::JpegOptions options;
        options.width = 40 + pattern % 7;
        options.height = 30;
        options.pattern = pattern;
        test::write_bytes(file.string(), test::make_jpeg(options));
        return kDocuments + from_utf8(relative);
    }
    std::u16string folder_list() const { return from_utf8(m_root.file("folders.ini")); }
    // One build thread unless asked: the tests of the order of builds rely on it.
    PhotoLibraryOptions options(CacheBuildFunction build = {}, int threads = 1) const {
        PhotoLibraryOptions result;
        result.folder_list = folder_list();
        result.build_cache = std::move(build);
        result.build_threads = threads;
        return result;
    }
    // Polls until the condition holds.
    template <typename Condition>
    bool polled(PhotoLibrary& library, Condition condition) {
        return eventually([&] {
            library.poll_events();
            return condition();
        });
    }

    test::TempDir m_root;
    test::ScopedEnv m_documents;
    test::ScopedEnv m_cards;
};

}  // namespace vistrel::test
