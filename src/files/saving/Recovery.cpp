#include "files/saving/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include "common/RegularFile.h"
#include "files/saving/FileIo.h"
#include "files/saving/Journal.h"

namespace Vantrel {

namespace {

// A file as the user named it, and where it is.
struct NamedFile {
    std::string given;
    FileLocation location;
    std::optional<struct stat> status;
};

// Finds where the named files are. A folder is resolved once for all the
// files named in it; only a symbolic link is resolved on its own. A file
// that is gone keeps its name in its folder.
class Locator {
public:
    std::optional<NamedFile> locate(const std::string& path) {
        struct stat status;
        const bool exists = lstat(path.c_str(), &status) == 0;
        try {
            if (exists && S_ISLNK(status.st_mode))
                return NamedFile{path, locationOf(path), std::nullopt};
            const std::string::size_type slash = path.find_last_of('/');
            const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
            const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            if (name.empty() || name == "." || name == "..")
                return std::nullopt;
            auto known = folders.find(folder);
            if (known == folders.end())
                known = folders.emplace(folder, locationOf(folder).path).first;
            const std::string& where = known->second;
            return NamedFile{path, FileLocation{where == "/" ? "/" + name : where + "/" + name, where, name},
                             std::nullopt};
        } catch (const LockFailure&) {
            return std::nullopt;
        }
    }

private:
    std::map<std::string, std::string> folders;
};

// The journals in a folder, and the inodes of all its entries.
struct FolderListing {
    std::vector<std::string> journals;
    std::set<ino_t> inodes;
};

FolderListing listingOf(const std::string& folder) {
    FolderListing listing;
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(opendir(folder.c_str()), closedir);
    if (!entries)
        return listing;
    while (const dirent* entry = readdir(entries.get())) {
        listing.inodes.insert(entry->d_ino);
        if (fileOfJournalName(entry->d_name))
            listing.journals.emplace_back(entry->d_name);
    }
    return listing;
}

void recoverFile(const NamedFile& file, const std::function<void(const std::string&)>& note) {
    try {
        std::variant<RegularFile, OpenProblem> opened = openRegularFile(file.location.path, O_RDWR);
        if (const OpenProblem* problem = std::get_if<OpenProblem>(&opened))
            throw JournalFailure(problem->text());
        const Descriptor descriptor = std::move(std::get<RegularFile>(opened).descriptor);
        const FileLock lock(descriptor.get());
        if (putBackInterruptedSave(file.location, descriptor.get()) == Recovery::RESTORED)
            note("Vantrel: restored " + file.given + " from an interrupted save");
    } catch (const std::runtime_error& failure) {
        note("Vantrel: cannot restore " + file.given + " from an interrupted save: " + failure.what());
    }
}

// A complete journal that names a file no longer there, or another file
// now, can put nothing back.
void dropJournalOfAnother(const std::string& journalPath, const std::vector<NamedFile>& files,
                          const std::function<void(const std::string&)>& note) {
    const Descriptor journal(open(journalPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const std::optional<JournalContents> contents =
        journal.get() >= 0 ? readJournal(journal.get()) : std::nullopt;
    if (!contents)
        return;
    for (const NamedFile& file : files) {
        if (file.location.name != contents->name)
            continue;
        if (removeJournal(journalPath, file.location.folder))
            note("Vantrel: deleted the journal of an interrupted save of " + file.given + ": the file " +
                 (file.status ? "was replaced by another since" : "is gone"));
        return;
    }
}

} // namespace

Recovery putBackInterruptedSave(const FileLocation& file, int descriptor) {
    struct stat status;
    if (fstat(descriptor, &status) != 0)
        throw JournalFailure(describe("cannot read", errno));
    const std::string path = journalPathFor(file.folder, status);
    const Descriptor journal(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (journal.get() < 0) {
        if (errno == ENOENT)
            return Recovery::NO_JOURNAL;
        throw JournalFailure(describe("cannot read the journal of its interrupted save", errno));
    }
    const std::optional<JournalContents> contents = readJournal(journal.get());
    if (!contents) {
        removeJournal(path, file.folder);
        return Recovery::TORN;
    }
    if (contents->device != status.st_dev || contents->inode != status.st_ino)
        return Recovery::NOT_THIS_FILE;
    restoreFile(journal.get(), *contents, descriptor);
    if (!removeJournal(path, file.folder))
        throw JournalFailure(describe("cannot remove the journal of its interrupted save", errno));
    return Recovery::RESTORED;
}

void recoverInterruptedSaves(const std::vector<std::string>& paths,
                             const std::function<void(const std::string&)>& note) {
    std::map<std::string, std::vector<NamedFile>> byFolder;
    Locator locator;
    for (const std::string& path : paths)
        if (std::optional<NamedFile> named = locator.locate(path))
            byFolder[named->location.folder].push_back(*named);
    for (auto& [folder, files] : byFolder) {
        const FolderListing listing = listingOf(folder);
        if (listing.journals.empty())
            continue;
        for (NamedFile& file : files) {
            struct stat status;
            if (stat(file.location.path.c_str(), &status) == 0)
                file.status = status;
        }
        for (const std::string& name : listing.journals) {
            const auto [device, inode] = *fileOfJournalName(name);
            const NamedFile* owner = nullptr;
            for (const NamedFile& file : files)
                if (owner == nullptr && file.status && file.status->st_dev == device && file.status->st_ino == inode)
                    owner = &file;
            // A journal whose file is still in the folder under a name not
            // given is that file's, to be put back when it is named.
            if (owner != nullptr)
                recoverFile(*owner, note);
            else if (listing.inodes.count(inode) == 0)
                dropJournalOfAnother(folder + "/" + name, files, note);
        }
    }
}

} // namespace Vantrel
