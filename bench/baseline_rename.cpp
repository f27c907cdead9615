// Benchmark baseline for `vantrel rename TEMPLATE FILE...`: opens the files
// the same way, expands the same tokens (first occurrence of each), prints
// the plan, reads the answer and renames every file inside its directory.
#include <libgen.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <taglib/tag.h>

#include "baseline_common.h"

namespace {

void replaceFirst(std::string& text, const std::string& token, const std::string& value) {
    const std::string::size_type at = text.find(token);
    if (at != std::string::npos)
        text.replace(at, token.size(), value);
}

std::string expand(const std::string& templateString, const TagLib::Tag& tag) {
    std::string name = templateString;
    replaceFirst(name, "%a", tag.artist().to8Bit(false));
    replaceFirst(name, "%g", tag.genre().to8Bit(false));
    replaceFirst(name, "%s", tag.title().to8Bit(false));
    replaceFirst(name, "%t", tag.album().to8Bit(false));
    char number[32];
    std::snprintf(number, sizeof number, "%d", static_cast<int>(tag.year()));
    replaceFirst(name, "%y", number);
    std::snprintf(number, sizeof number, "%02d", static_cast<int>(tag.track()));
    replaceFirst(name, "%n", number);
    return name;
}

std::string target(const std::string& oldName, const std::string& newName) {
    std::string oldCopy = oldName, newCopy = newName;
    return std::string(dirname(&oldCopy[0])) + "/" + basename(&newCopy[0]);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 1;
    const std::string templateString = argv[1];
    std::vector<baseline::OpenFile> files;
    if (!baseline::openAll(argc, argv, 2, files))
        return 3;

    std::vector<std::string> newNames;
    newNames.reserve(files.size());
    int count = 1;
    for (const baseline::OpenFile& entry : files) {
        const TagLib::Tag* tag = entry.ref.tag();
        if (tag == nullptr)
            return 4;
        newNames.push_back(expand(templateString, *tag));
        std::cout << '[' << (count <= 9 ? " " : "") << count << "] '" << entry.path << "' -> '" << newNames.back()
                  << "'" << std::endl;
        ++count;
    }
    std::cout << std::endl << "Rename [yn] ? " << std::flush;
    char answer = 0;
    if (!(std::cin >> answer) || (answer != 'y' && answer != 'Y')) {
        std::cout << std::endl << "Cancelled" << std::endl;
        return 0;
    }
    int failed = 0;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (std::rename(files[i].path.c_str(), target(files[i].path, newNames[i]).c_str()) != 0)
            ++failed;
    return failed == 0 ? 0 : 4;
}
