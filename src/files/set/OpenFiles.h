#ifndef VANTREL_FILES_SET_OPENFILES_H
#define VANTREL_FILES_SET_OPENFILES_H

#include <taglib/fileref.h>

#include <memory>
#include <string>
#include <vector>

#include "files/FileRecords.h"

namespace Vantrel {

// Deletes a file's stream.
struct StreamDeleter {
    void operator()(TagLib::IOStream* stream) const;
};

// One file of the set as named on the command line, open through TagLib (a
// null reference when it could not be opened). The first name of a file owns
// the stream TagLib reads it through; its other names share its reference.
struct OpenFile {
    std::string path;
    std::unique_ptr<TagLib::IOStream, StreamDeleter> stream;
    TagLib::FileRef fileRef;
};

// Opens every path, in order. Only regular files are opened; a file named
// twice (under any spelling) shares one open file, so two writers never clash.
// Throws TooManyOpenFiles when the open-file limit leaves too little room.
std::vector<OpenFile> openFiles(const std::vector<std::string>& paths);

// The files that cannot be used, and why, in order.
std::vector<ProblemFile> problemsOf(const std::vector<OpenFile>& files);

// The listing of one file; throws TagException when it has no audio
// properties or no tag.
FileDetails detailsOf(const OpenFile& file);

} // namespace Vantrel

#endif
