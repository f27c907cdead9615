#include "files/set/OpenFiles.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include <taglib/mp4file.h>
#include <taglib/tfilestream.h>
#include <taglib/tag.h>

#include "common/Descriptor.h"
#include "common/RegularFile.h"
#include "files/TagException.h"
#include "files/lengths/Mp4Atoms.h"

namespace Vantrel {

namespace {

// An MP4 file whose atoms do not fit would be damaged by the first save.
// It is opened again by its name, so as a regular file only, never waited for.
bool mp4AtomsFit(TagLib::File& file, const std::string& path) {
    if (dynamic_cast<TagLib::MP4::File*>(&file) == nullptr)
        return true;
    const std::variant<RegularFile, OpenProblem> opened = openRegularFile(path, O_RDONLY);
    const RegularFile* regular = std::get_if<RegularFile>(&opened);
    return regular != nullptr && Vantrel::mp4AtomsFit(regular->descriptor.get());
}

// TagLib's stream over a descriptor opened here, known by the file's path
// (TagLib tells the file's type by its extension). Closes the descriptor.
class NamedFileStream : public TagLib::FileStream {
public:
    NamedFileStream(int descriptor, bool readOnly, const std::string& path)
        : TagLib::FileStream(descriptor, readOnly), path(path) {}
    // See StreamDeleter.
    __attribute__((no_sanitize("vptr"))) ~NamedFileStream() override = default;
    TagLib::FileName name() const override { return path.c_str(); }

private:
    std::string path;
};

// The file for reading and, where allowed, writing; nothing when it is not
// a regular file or cannot be opened.
std::optional<std::pair<RegularFile, bool>> openRegularForTagLib(const std::string& path) {
    for (int flags : {O_RDWR, O_RDONLY}) {
        std::variant<RegularFile, OpenProblem> opened = openRegularFile(path, flags);
        if (RegularFile* file = std::get_if<RegularFile>(&opened))
            return std::make_pair(std::move(*file), flags == O_RDONLY);
        const int error = std::get<OpenProblem>(opened).error;
        if (error != EACCES && error != EROFS && error != ETXTBSY)
            return std::nullopt;
    }
    return std::nullopt;
}

// Opens every path through TagLib; applied with std::for_each.
class InstantiateTagLibFiles {
public:
    explicit InstantiateTagLibFiles(std::vector<OpenFile>& files) : files(files) {}

    void operator()(const std::string& path) {
        OpenFile entry;
        entry.path = path;
        // Only regular files are opened, and never waited for: TagLib would
        // block forever on a FIFO.
        if (std::optional<std::pair<RegularFile, bool>> file = openRegularForTagLib(path)) {
            const auto identity = std::make_pair(file->first.status.st_dev, file->first.status.st_ino);
            const auto known = opened.find(identity);
            if (known != opened.end()) {
                entry.fileRef = known->second;
            } else {
                entry.stream.reset(new NamedFileStream(file->first.descriptor.release(), file->second, path));
                entry.fileRef = TagLib::FileRef(entry.stream.get(), true, TagLib::AudioProperties::Average);
                opened.emplace(identity, entry.fileRef);
            }
        }
        files.push_back(std::move(entry));
    }

private:
    std::vector<OpenFile>& files;
    // Files opened so far, by device and inode.
    std::map<std::pair<dev_t, ino_t>, TagLib::FileRef> opened;
};

// Collects the files that cannot be used; applied with std::for_each.
struct CheckValidity {
    std::vector<ProblemFile> problemFiles;

    void operator()(const OpenFile& entry) {
        ProblemType type = PROBLEM_NONE;
        TagLib::File* file = entry.fileRef.file();
        struct stat info;
        if (file == nullptr || entry.path.empty() || stat(entry.path.c_str(), &info) != 0) {
            type = PROBLEM_INVALID;
        } else {
            if (!file->isValid() || !mp4AtomsFit(*file, entry.path))
                type = PROBLEM_INVALID;
            if (file->readOnly())
                type = type == PROBLEM_INVALID ? PROBLEM_INVALID_AND_READ_ONLY : PROBLEM_READ_ONLY;
        }
        if (type != PROBLEM_NONE)
            problemFiles.push_back(ProblemFile{entry.path, type});
    }
};

// A lookup and a save need a few descriptors beyond the open files (three
// when measured); the rest is room to spare.
const int SPARE_DESCRIPTORS = 16;

// Throws TooManyOpenFiles when fewer descriptors than SPARE_DESCRIPTORS are
// left; a file that could not be opened for want of one leaves none.
void requireSpareDescriptors() {
    std::deque<Descriptor> spare;
    for (int count = 0; count < SPARE_DESCRIPTORS; ++count) {
        spare.emplace_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
        if (spare.back().get() >= 0 || (errno != EMFILE && errno != ENFILE))
            continue;
        struct rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        throw TooManyOpenFiles("too many files open at once (limit " + std::to_string(limit.rlim_cur) + ")");
    }
}

// Tag texts go to the terminal as UTF-8.
std::string utf8(const TagLib::String& text) { return text.to8Bit(true); }

} // namespace

// Streams are deleted also when too many files are open and not one
// descriptor is left: the undefined-behaviour sanitizer's check of an
// object's type needs one there, and would report a fault that is not.
__attribute__((no_sanitize("vptr"))) void StreamDeleter::operator()(TagLib::IOStream* stream) const { delete stream; }

std::vector<OpenFile> openFiles(const std::vector<std::string>& paths) {
    std::vector<OpenFile> files;
    files.reserve(paths.size());
    std::for_each(paths.begin(), paths.end(), InstantiateTagLibFiles(files));
    requireSpareDescriptors();
    return files;
}

std::vector<ProblemFile> problemsOf(const std::vector<OpenFile>& files) {
    return std::for_each(files.begin(), files.end(), CheckValidity()).problemFiles;
}

FileDetails detailsOf(const OpenFile& file) {
    const TagLib::AudioProperties* properties = file.fileRef.isNull() ? nullptr : file.fileRef.audioProperties();
    const TagLib::Tag* tag = file.fileRef.isNull() ? nullptr : file.fileRef.tag();
    if (properties == nullptr || tag == nullptr)
        throw TagException("File, audioProperties or Tag is NULL");
    FileDetails details;
    details.path = file.path;
    details.seconds = static_cast<unsigned int>(properties->length());
    details.artist = utf8(tag->artist());
    details.title = utf8(tag->title());
    details.track = tag->track();
    details.year = tag->year();
    details.genre = utf8(tag->genre());
    return details;
}

} // namespace Vantrel
