// What every baseline of the benchmark does first, written as plainly as the
// job allows: raise the open-file limit, open every file through TagLib with
// audio properties at the Average read style, keep them all open, and stop
// (status 3) if any of them cannot be used.
#ifndef VANTREL_BENCH_BASELINE_COMMON_H
#define VANTREL_BENCH_BASELINE_COMMON_H

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tfile.h>

namespace baseline {

struct OpenFile {
    std::string path;
    TagLib::FileRef ref;
};

inline void raiseOpenFileLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

inline bool isRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Opens argv[first..argc) and checks them; false when a file is unusable.
inline bool openAll(int argc, char** argv, int first, std::vector<OpenFile>& files) {
    raiseOpenFileLimit();
    files.reserve(argc - first);
    for (int i = first; i < argc; ++i) {
        OpenFile entry{argv[i], TagLib::FileRef()};
        if (isRegularFile(entry.path))
            entry.ref = TagLib::FileRef(argv[i], true, TagLib::AudioProperties::Average);
        files.push_back(entry);
    }
    bool usable = true;
    for (const OpenFile& entry : files) {
        const TagLib::File* file = entry.ref.file();
        if (file == nullptr || !file->isValid() || file->readOnly()) {
            std::cerr << entry.path << ": unusable" << std::endl;
            usable = false;
        }
    }
    return usable;
}

} // namespace baseline

#endif
