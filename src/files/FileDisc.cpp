#include "files/FileDisc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <taglib/audioproperties.h>
#include <taglib/mp4file.h>
#include <taglib/tag.h>

#include "common/Descriptor.h"
#include "disc/Text.h"
#include "files/Mp4Atoms.h"

namespace Vantrel {

namespace {

// An MP4 file whose atoms do not fit would be damaged by the first save.
bool mp4AtomsFit(TagLib::File& file, const std::string& path) {
    if (dynamic_cast<TagLib::MP4::File*>(&file) == nullptr)
        return true;
    const Descriptor descriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return descriptor.get() >= 0 && Vantrel::mp4AtomsFit(descriptor.get());
}

} // namespace

TagLib::String toUTF8String(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

namespace {

// Tag texts are written as UTF-8, the encoding of the terminal.
std::string terminalText(const TagLib::String& text) { return forTerminal(text.to8Bit(true)); }

} // namespace

FileDisc::FileDisc(const std::vector<std::string>& paths) {
    files.reserve(paths.size());
    std::for_each(paths.begin(), paths.end(), InstantiateTagLibFiles(files));
}

FileDisc::~FileDisc() {
    // The C library keeps open streams newest first; closing them in the
    // same order makes each close a short walk instead of a full one.
    while (!files.empty())
        files.pop_back();
}

void InstantiateTagLibFiles::operator()(const std::string& path) {
    FileDisc::PathFileRef entry;
    entry.path = path;
    struct stat info;
    // Only regular files are opened: TagLib would block forever on a FIFO.
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        const auto identity = std::make_pair(info.st_dev, info.st_ino);
        const auto known = opened.find(identity);
        if (known != opened.end()) {
            entry.fileRef = known->second;
        } else {
            entry.fileRef = TagLib::FileRef(path.c_str(), true, TagLib::AudioProperties::Average);
            opened.emplace(identity, entry.fileRef);
        }
    }
    files.push_back(entry);
}

const std::vector<ProblemFile>& FileDisc::checkFiles() {
    problemFiles = std::for_each(files.begin(), files.end(), CheckValidity()).problemFiles;
    return problemFiles;
}

void CheckValidity::operator()(const FileDisc::PathFileRef& entry) {
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

std::string FileDisc::ProblemTypeToString(const ProblemType& type) {
    switch (type) {
    case PROBLEM_NONE:
        return "None";
    case PROBLEM_READ_ONLY:
        return "File is read-only";
    case PROBLEM_INVALID:
        return "File is invalid";
    case PROBLEM_INVALID_AND_READ_ONLY:
        return "File is invalid and read-only";
    }
    return "";
}

void FileDisc::printDetails(std::ostream& os) {
    os << "Output format: Artist - Title (Track Number, Year, Genre)" << std::endl << std::endl;
    std::for_each(files.begin(), files.end(), PrintFileDisc(os));
}

void PrintFileDisc::operator()(const FileDisc::PathFileRef& entry) {
    ++count;
    const TagLib::AudioProperties* properties = entry.fileRef.isNull() ? nullptr : entry.fileRef.audioProperties();
    const TagLib::Tag* tag = entry.fileRef.isNull() ? nullptr : entry.fileRef.tag();
    if (properties == nullptr || tag == nullptr)
        throw TagException("File, audioProperties or Tag is NULL");

    stream << (count <= 9 ? " " : "") << count << ". " << forTerminal(entry.path) << " (";
    stream << minutesAndSeconds(static_cast<unsigned int>(properties->length())) << ')' << std::endl;
    stream << "    " << terminalText(tag->artist()) << " - " << terminalText(tag->title()) << " (" << tag->track()
           << ", " << tag->year() << ", " << terminalText(tag->genre()) << ')' << std::endl;
}

} // namespace Vantrel
