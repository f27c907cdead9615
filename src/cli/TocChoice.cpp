#include "cli/TocChoice.h"

#include <stdexcept>
#include <vector>

#include "cli/Console.h"
#include "toc/TocSources.h"

namespace Vantrel {

namespace {

struct FoundSource {
    std::string path;
    TableOfContents toc;
};

TableOfContents givenSource(const std::string& path, const FileLengths& lengths) {
    TableOfContents toc;
    try {
        toc = readTocSource(path, lengths);
    } catch (const AnotherDiscError&) {
        throw std::runtime_error(path + " describes another disc");
    } catch (const TocSourceError& error) {
        throw std::runtime_error("Cannot read a table of contents from " + path + ": " + error.what());
    }
    if (!describesFiles(toc, lengths.given))
        throw std::runtime_error(path + " describes another disc");
    return toc;
}

// Every source beside the files and in them that has a table of contents,
// in the order of preference; a file that is none (any other log) is left out.
std::vector<FoundSource> foundSources(const std::string& firstFile, const FileDisc& files,
                                      const FileLengths& lengths, std::vector<std::string>& otherDiscs) {
    std::vector<FoundSource> found;
    for (const std::string& path : tocSourcesBeside(firstFile)) {
        try {
            found.push_back(FoundSource{path, readTocSource(path, lengths)});
        } catch (const AnotherDiscError&) {
            otherDiscs.push_back(path);
        } catch (const TocSourceError&) {
        }
    }
    if (const std::optional<FileCueSheet> sheet = files.firstFlacCueSheet()) {
        try {
            found.push_back(FoundSource{sheet->path, tableOfContentsOf(sheet->layout)});
        } catch (const AnotherDiscError&) {
            otherDiscs.push_back(sheet->path);
        } catch (const TocSourceError&) {
        }
    }
    return found;
}

} // namespace

std::optional<TableOfContents> tableOfContentsFromSources(const std::optional<std::string>& tocFile,
                                                          const std::string& firstFile, const FileDisc& files) {
    const FileLengths lengths{FileDisc::playingTimeOfFile, files.playingTimes()};
    if (tocFile) {
        TableOfContents toc = givenSource(*tocFile, lengths);
        Console::tableOfContentsFrom(*tocFile);
        return toc;
    }
    std::vector<std::string> otherDiscs;
    std::vector<FoundSource> agreeing;
    for (FoundSource& source : foundSources(firstFile, files, lengths, otherDiscs)) {
        if (describesFiles(source.toc, lengths.given))
            agreeing.push_back(std::move(source));
        else
            otherDiscs.push_back(source.path);
    }
    if (agreeing.empty()) {
        for (const std::string& path : otherDiscs)
            Console::describesAnotherDisc(path);
        return std::nullopt;
    }
    for (const FoundSource& source : agreeing) {
        if (!sameDisc(source.toc, agreeing.front().toc)) {
            Console::sourcesDiffer(agreeing.front().path, source.path);
            return std::nullopt;
        }
    }
    Console::tableOfContentsFrom(agreeing.front().path);
    return agreeing.front().toc;
}

} // namespace Vantrel
