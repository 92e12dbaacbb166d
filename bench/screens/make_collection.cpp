// Prepares the scale measurements of the album and folder screens: a program folder (the
// program, the test skin of tests/screens, a language file) and a collection of FOLDERS
// folders with PICTURES pictures each, copied from a few small JPEGs made here, every copy
// with a modification time of its own (the cache file names come from size and time).
// With --folder-list the program folder also gets a folder list naming every folder.
//
//   make_collection PROGRAM SKIN_SOURCE APP_DIR DOCUMENTS FOLDERS PICTURES [--folder-list]

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jpeg_samples.h"
#include "library/folder_list.h"
#include "platform/text.h"
#include "skin_test_support.h"

namespace fs = std::filesystem;
using namespace vistrel;

namespace {

void write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> language() {
    std::u16string text = u"\uFEFFAppName=Vistrel\r\nWARNING_MESSAGE=No albums yet\r\n";
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: make_collection PROGRAM SKIN_SOURCE APP_DIR DOCUMENTS FOLDERS "
                     "PICTURES [--folder-list]\n");
        return 2;
    }
    const std::string program = argv[1], skin_source = argv[2], app = argv[3], docs = argv[4];
    const int folders = std::atoi(argv[5]);
    const int pictures = std::atoi(argv[6]);
    const bool folder_list = argc > 7 && std::string(argv[7]) == "--folder-list";
    if (folders < 1 || pictures < 1) return 2;

    fs::create_directories(app + "/skins/bin");
    fs::copy_file(program, app + "/vistrel", fs::copy_options::overwrite_existing);
    std::ifstream in(skin_source, std::ios::binary);
    const std::string source((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    write(app + "/skins/bin/default.skin", test::compile_source(source));
    test::write_picture(app + "/skins/bin/frame", 8, 4, 0xC638 | 0x0020);
    test::write_picture(app + "/skins/bin/loading", 8, 4, 0x52D1 | 0x0020);
    test::write_picture(app + "/skins/bin/bad", 8, 4, 0xC945 | 0x0020);
    test::write_picture(app + "/skins/bin/warning", 8, 4, 0xE645 | 0x0020);
    write(app + "/english.lng", language());

    std::vector<std::vector<uint8_t>> samples;
    for (int i = 0; i < 4; ++i) {
        test::JpegOptions options;
        options.width = 160;
        options.height = 120;
        options.pattern = i;
        options.quality = 80;
        samples.push_back(test::make_jpeg(options));
    }
    std::vector<Folder> list;
    long long written = 0;
    const time_t base = 1600000000;
    for (int f = 0; f < folders; ++f) {
        char folder[32];
        std::snprintf(folder, sizeof folder, "album%05d", f);
        const std::string dir = docs + "/" + folder;
        fs::create_directories(dir);
        for (int p = 0; p < pictures; ++p) {
            char name[32];
            std::snprintf(name, sizeof name, "/p%04d.jpg", p);
            const std::string path = dir + name;
            if (!fs::exists(path)) write(path, samples[size_t(written % 4)]);
            const time_t when = base + time_t(written) * 61;
            const timespec times[2] = {{when, 0}, {when, 0}};
            utimensat(AT_FDCWD, path.c_str(), times, 0);
            ++written;
        }
        const std::u16string folder_path = u"%my_documents%/" + from_utf8(folder) + u"/";
        list.push_back({u"%my_documents%/", folder_path, folder_path + u"p0000.jpg", pictures});
    }
    if (folder_list && !save_folders(from_utf8(app + "/folders.ini"), list)) return 1;
    std::printf("%d folders, %lld pictures in %s\n", folders, written, docs.c_str());
    return 0;
}
