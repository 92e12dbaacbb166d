// vistrel-tool folders: prints the records of a folder list file.

#include <cstdio>

#include "library/folder_list.h"
#include "platform/file_stream.h"
#include "platform/text.h"
#include "tool_command.h"

namespace vistrel::tool {
namespace {

int run_folders(const std::vector<std::string>& args);

const ToolCommand kCommand{"folders", "FILE",
                           "prints the records of a folder list file (folders.ini), in the "
                           "order the program reads them",
                           run_folders};
const ToolCommandRegistration kRegistration(kCommand);

int run_folders(const std::vector<std::string>& args) {
    if (args.size() != 1) return usage_error(kCommand);
    const std::u16string path = from_file_name(args[0]);
    std::vector<uint8_t> bytes;
    if (!read_file(path, bytes)) {
        std::fprintf(stderr, "vistrel-tool folders: cannot read %s\n", args[0].c_str());
        return kExitFailure;
    }
    std::vector<Folder> folders;
    parse_folders(bytes, folders);
    for (size_t i = 0; i < folders.size(); ++i) {
        const Folder& f = folders[i];
        std::printf("folder %zu: %s\n  key picture: %s\n  drive: %s\n  pictures: %d\n", i,
                    to_utf8(f.folder_path).c_str(), to_utf8(f.key_picture).c_str(),
                    to_utf8(f.drive_path).c_str(), f.size);
    }
    std::printf("%zu folders\n", folders.size());
    return kExitOk;
}

}  // namespace
}  // namespace vistrel::tool
