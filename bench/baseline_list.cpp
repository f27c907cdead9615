// Benchmark baseline for `vantrel list`: opens the files the same way and
// prints the same listing, with nothing else around it.
#include <iostream>
#include <vector>

#include <taglib/tag.h>

#include "baseline_common.h"

int main(int argc, char** argv) {
    std::vector<baseline::OpenFile> files;
    if (!baseline::openAll(argc, argv, 1, files))
        return 3;
    std::cout << "Output format: Artist - Title (Track Number, Year, Genre)" << std::endl << std::endl;
    unsigned int count = 0;
    for (const baseline::OpenFile& entry : files) {
        ++count;
        const TagLib::AudioProperties* properties = entry.ref.audioProperties();
        const TagLib::Tag* tag = entry.ref.tag();
        if (properties == nullptr || tag == nullptr)
            return 4;
        const int length = properties->length();
        const int seconds = length % 60;
        std::cout << (count <= 9 ? " " : "") << count << ". " << entry.path << " (" << length / 60 << ':'
                  << (seconds <= 9 ? "0" : "") << seconds << ')' << std::endl;
        std::cout << "    " << tag->artist().to8Bit(true) << " - " << tag->title().to8Bit(true) << " ("
                  << tag->track() << ", " << tag->year() << ", " << tag->genre().to8Bit(true) << ')' << std::endl;
    }
    return 0;
}
