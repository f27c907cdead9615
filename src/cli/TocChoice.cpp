#include "cli/TocChoice.h"

#include <functional>
#include <stdexcept>
#include <vector>

#include "cli/Console.h"
#include "toc/TocSources.h"

namespace Vantrel {

namespace {

// A rip log, CUE sheet or FLAC file with a table of contents, or, without
// one, of a disc that these files cannot be.
struct FoundSource {
    std::string path;
    std::optional<TableOfContents> toc;
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

// Reads a source found beside the files; one that is none (any other log)
// is left out.
void addFound(const std::string& path, const std::function<TableOfContents()>& read,
              std::vector<FoundSource>& found) {
    try {
        found.push_back(FoundSource{path, read()});
    } catch (const AnotherDiscError&) {
        found.push_back(FoundSource{path, std::nullopt});
    } catch (const TocSourceError&) {
    }
}

// The sources beside the files and in them, in the order of preference.
std::vector<FoundSource> foundSources(const std::string& firstFile, const FileDisc& files,
                                      const FileLengths& lengths) {
    std::vector<FoundSource> found;
    for (const std::string& path : tocSourcesBeside(firstFile))
        addFound(path, [&] { return readTocSource(path, lengths); }, found);
    if (const std::optional<FileCueSheet> sheet = files.firstFlacCueSheet())
        addFound(sheet->path, [&] { return tableOfContentsOf(sheet->layout); }, found);
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
    const std::vector<FoundSource> found = foundSources(firstFile, files, lengths);
    std::vector<const FoundSource*> agreeing;
    for (const FoundSource& source : found)
        if (source.toc && describesFiles(*source.toc, lengths.given))
            agreeing.push_back(&source);
    if (agreeing.empty()) {
        for (const FoundSource& source : found)
            Console::describesAnotherDisc(source.path);
        return std::nullopt;
    }
    // A log and a CUE sheet of one rip agree; sources that do not are of
    // different rips, and neither can be trusted over the other.
    const FoundSource& first = *agreeing.front();
    for (const FoundSource* source : agreeing) {
        if (!sameDisc(*source->toc, *first.toc)) {
            Console::sourcesDiffer(first.path, source->path);
            return std::nullopt;
        }
    }
    Console::tableOfContentsFrom(first.path);
    return first.toc;
}

} // namespace Vantrel
