#pragma once
// Walking directory trees: the visitor interface, the collectors and the walker.

#include <string>
#include <vector>

namespace vistrel {

class WorkerThread;

// Receives the entries of a walk. Returning false from either operation ends the whole
// walk at once.
class FileVisitor {
public:
    virtual ~FileVisitor() = default;
    virtual bool on_file(const std::u16string& path) = 0;
    virtual bool on_directory(const std::u16string& path) = 0;
};

// Keeps every path in the order the walk reported it.
class FileCollector : public FileVisitor {
public:
    bool on_file(const std::u16string& path) override;
    bool on_directory(const std::u16string& path) override;

    std::vector<std::u16string> files;
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

}  // namespace vistrel
