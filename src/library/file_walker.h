#pragma once
// Walking directory trees: the visitor interface, the collectors and the walker.

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

class WorkerThread;

// What a walk learnt of a file from its folder's listing: its size and time of last
// change. Not known for a symbolic link (the walk follows it only to check its kind).
struct FileStamp {
    uint64_t size = 0;
    int64_t modified_ns = 0;
    bool known = false;
};

// Receives the entries of a walk. Returning false from any operation ends the whole walk
// at once.
class FileVisitor {
public:
    virtual ~FileVisitor() = default;
    virtual bool on_file(const std::u16string& path) = 0;
    virtual bool on_directory(const std::u16string& path) = 0;
    // A file with what the walk learnt of it; by default only its path is passed on.
    virtual bool on_stamped_file(const std::u16string& path, const FileStamp&) {
        return on_file(path);
    }
};

// Keeps every path in the order the walk reported it, and each file's stamp.
class FileCollector : public FileVisitor {
public:
    bool on_file(const std::u16string& path) override;
    bool on_directory(const std::u16string& path) override;
    bool on_stamped_file(const std::u16string& path, const FileStamp& stamp) override;

    std::vector<std::u16string> files;
    std::vector<FileStamp> stamps;  // one per file; not known for files given by on_file
    std::vector<std::u16string> directories;
};

// A collector that ends the walk once its worker thread has been asked to stop.
class StoppableCollector : public FileCollector {
public:
    explicit StoppableCollector(const WorkerThread* worker) : m_worker(worker) {}
    bool on_file(const std::u16string& path) override;
    bool on_directory(const std::u16string& path) override;

private:
    bool keep_going() const;

    const WorkerThread* m_worker;
};

// Walks `dir`: first every file matching `file_pattern` (regular files, and symbolic links
// to regular files), then every folder matching `directory_pattern`, descending into each
// right after reporting it when `recursive` is set. Symbolic links to folders are not
// followed, so a walk never loops or leaves its tree. Folders that cannot be read, and
// entries that vanish meanwhile, are passed over. Always returns true; an early stop is not
// reported.
bool find_files(FileVisitor& visitor, const std::u16string& dir, const std::u16string& file_pattern,
                const std::u16string& directory_pattern, bool recursive);

// find_files for every file whose name is that of a picture format we read (.jpg, .png,
// .heic, .cr2... without regard to letter case), in one walk.
bool find_pictures(FileVisitor& visitor, const std::u16string& dir,
                   const std::u16string& directory_pattern, bool recursive);

}  // namespace vistrel
