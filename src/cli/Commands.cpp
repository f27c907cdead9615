#include "cli/Commands.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Databases.h"
#include "cli/DiscSearch.h"
#include "cli/TocChoice.h"
#include "files/FileDisc.h"

namespace Vantrel {

namespace {

LookupSettings lookupSettingsOf(const CommandLineArguments& arguments) {
    LookupSettings settings;
    settings.cacheMode = arguments.cacheModeGiven ? arguments.cacheMode : CACHE_MODE_ON;
    settings.server = arguments.serverGiven ? arguments.server : std::string();
    settings.port = arguments.portGiven ? static_cast<unsigned int>(arguments.port) : 0;
    settings.protocol = arguments.protocol;
    return settings;
}

// Reports unusable files; true when there were any.
bool reportProblemFiles(FileDisc& fileDisc) {
    const std::vector<ProblemFile>& problems = fileDisc.checkFiles();
    Console::problemFiles(problems);
    return !problems.empty();
}

int runList(const CommandLineArguments& arguments) {
    Console::banner(false);
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;
    Console::listing(fileDisc.details());
    return EXIT_DONE;
}

std::vector<Disc> lookUp(const CommandLineArguments& arguments, FileDisc& fileDisc) {
    const LookupSettings settings = lookupSettingsOf(arguments);
    if (arguments.command == COMMAND_ID)
        return openDatabase(arguments.database, settings, Console::note)
            ->discsFor(TypedIdentifier{arguments.category, arguments.discIdText});
    const std::optional<TableOfContents> exact =
        tableOfContentsFromSources(arguments.tocFile, arguments.files.front(), fileDisc);
    const TableOfContents& toc = exact ? *exact : fileDisc.generateOffsets(FIRST_TRACK_OFFSET);
    const std::unique_ptr<Database> database = openDatabase(arguments.database, settings, Console::note);
    const SearchResult found = searchByTableOfContents(*database, toc, settings.cacheMode != CACHE_MODE_ONLY);
    if (found.adjustment)
        Console::foundWithAdjustment(*found.adjustment);
    return found.discs;
}

void throwIfUnsaved(const std::vector<TagResult>& results) {
    std::size_t unsaved = 0;
    for (const TagResult& result : results)
        unsaved += result.outcome == TagResult::FAILED ? 1 : 0;
    if (unsaved != 0)
        throw TagException(std::to_string(unsaved) + (unsaved == 1 ? " file" : " files") + " could not be saved.");
}

int runLookup(const CommandLineArguments& arguments) {
    Console::banner(false);
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;

    try {
        const std::vector<Disc> results = lookUp(arguments, fileDisc);
        Console::discs(results);
        if (results.empty()) {
            Console::noResults();
            return EXIT_NO_RESULTS;
        }
        const Disc& disc = Console::chooseDisc(results);
        throwIfUnsaved(arguments.command == COMMAND_ID ? fileDisc.tagByBestFit(disc, Console::tagResult)
                                                       : fileDisc.tagByOrder(disc, Console::tagResult));
    } catch (const std::exception& error) {
        Console::error(error.what());
        return EXIT_ERROR;
    }
    return EXIT_DONE;
}

int runRename(const CommandLineArguments& arguments) {
    Console::banner(false);
    if (!FileDisc::isTemplate(arguments.templateString)) {
        Console::noToken();
        return EXIT_ERROR;
    }
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;

    const std::vector<OldNameNewName> plan = fileDisc.generateNewNames(arguments.templateString);
    Console::renamePlan(plan);

    // A plan that would put two files on one name is refused before asking.
    const std::vector<RenameProblem> clashes = FileDisc::findClashes(plan);
    if (!clashes.empty()) {
        Console::renameProblems(clashes);
        return EXIT_ERROR;
    }
    if (!Console::confirmRename())
        return EXIT_DONE;
    const std::vector<RenameProblem>& failures = fileDisc.renameFiles(plan);
    Console::renameProblems(failures);
    return failures.empty() ? EXIT_DONE : EXIT_ERROR;
}

} // namespace

int runCommand(const CommandLineArguments& arguments) {
    // A save cut short is put back before any command reads the files.
    FileDisc::recoverInterruptedSaves(arguments.files, Console::note);
    try {
        switch (arguments.command) {
        case COMMAND_LIST:
            return runList(arguments);
        case COMMAND_RENAME:
            return runRename(arguments);
        case COMMAND_ID:
        case COMMAND_SEQUENCE:
            return runLookup(arguments);
        case COMMAND_HELP:
        case COMMAND_NONE:
            break;
        }
    } catch (const TooManyOpenFiles& error) {
        Console::error(error.what());
        return EXIT_PROBLEM_FILES;
    }
    Console::usage();
    return EXIT_USAGE;
}

} // namespace Vantrel
