#include "cli/Commands.h"

#include <algorithm>
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

// How one disc of the run ended.
struct DiscResult {
    int status = EXIT_DONE;
    // Every file already held its tags.
    bool unchanged = false;
};

LookupSettings lookupSettingsOf(const CommandLineArguments& arguments) {
    LookupSettings settings;
    settings.cacheMode = arguments.cacheModeGiven ? arguments.cacheMode : CACHE_MODE_ON;
    settings.server = arguments.serverGiven ? arguments.server : std::string();
    settings.port = arguments.portGiven ? static_cast<unsigned int>(arguments.port) : 0;
    settings.protocol = arguments.protocol;
    // An unattended run must know every disc the server has, not only the
    // one the cache kept from an earlier choice.
    settings.serverFirst = arguments.unattended;
    return settings;
}

// Reports unusable files; true when there were any.
bool reportProblemFiles(FileDisc& fileDisc) {
    const std::vector<ProblemFile>& problems = fileDisc.checkFiles();
    Console::problemFiles(problems);
    return !problems.empty();
}

DiscResult runList(const std::vector<std::string>& files) {
    FileDisc fileDisc(files);
    if (reportProblemFiles(fileDisc))
        return {EXIT_PROBLEM_FILES};
    Console::listing(fileDisc.details());
    return {};
}

// The discs found in a database, and whether the one disc found is
// certainly the files'.
struct Found {
    std::unique_ptr<Database> database;
    std::vector<Disc> discs;
    bool certain = false;
};

Found lookUp(const CommandLineArguments& arguments, const std::string& firstFile, FileDisc& fileDisc) {
    const LookupSettings settings = lookupSettingsOf(arguments);
    if (arguments.command == COMMAND_ID) {
        // The user named the disc: the list is all there is to choose from.
        std::unique_ptr<Database> database = openDatabase(arguments.database, settings, Console::note);
        std::vector<Disc> discs = database->discsFor(TypedIdentifier{arguments.category, arguments.discIdText});
        return Found{std::move(database), std::move(discs), true};
    }
    const std::optional<TableOfContents> exact =
        tableOfContentsFromSources(arguments.tocFile, firstFile, fileDisc);
    const TableOfContents& toc = exact ? *exact : fileDisc.generateOffsets(FIRST_TRACK_OFFSET);
    std::unique_ptr<Database> database = openDatabase(arguments.database, settings, Console::note);
    const SearchResult search = searchByTableOfContents(*database, toc);
    if (search.adjustment)
        Console::foundWithAdjustment(*search.adjustment);
    // Found by the exact disc ID of exact lengths, not by a search around
    // estimates or by lengths alone, and confirmed by the server when it
    // was asked.
    const bool certain = toc.exact() && !search.adjustment &&
                         std::none_of(search.discs.begin(), search.discs.end(), [](const Disc& disc) {
                             return disc.isUnconfirmed() || (disc.getRelease() && disc.getRelease()->lengthsOffByMilliseconds);
                         });
    return Found{std::move(database), search.discs, certain};
}

// The disc to write: the user's choice, or with -y the one disc found for
// certain; nothing when -y finds no such disc.
const Disc* chosenDisc(const CommandLineArguments& arguments, const Found& found) {
    if (!arguments.unattended)
        return &Console::chooseDisc(found.discs);
    if (found.discs.size() > 1)
        Console::severalMatch(found.discs.size());
    else if (!found.certain)
        Console::onlyApproximate();
    else
        return &found.discs.front();
    return nullptr;
}

DiscResult tag(const CommandLineArguments& arguments, FileDisc& fileDisc, Disc disc, Database& database) {
    if (arguments.frontCover)
        if (const std::optional<Picture> cover = database.frontCover(disc))
            disc.setFrontCover(*cover);
    const std::vector<TagResult> results = arguments.command == COMMAND_ID
                                               ? fileDisc.tagByBestFit(disc, Console::tagResult)
                                               : fileDisc.tagByOrder(disc, Console::tagResult);
    const auto count = [&results](TagResult::Outcome outcome) {
        return std::count_if(results.begin(), results.end(),
                             [outcome](const TagResult& result) { return result.outcome == outcome; });
    };
    const auto unsaved = count(TagResult::FAILED);
    if (unsaved != 0)
        throw TagException(std::to_string(unsaved) + (unsaved == 1 ? " file" : " files") + " could not be saved.");
    DiscResult result;
    result.unchanged = !results.empty() && count(TagResult::UNCHANGED) == static_cast<long>(results.size());
    return result;
}

DiscResult runLookup(const CommandLineArguments& arguments, const std::vector<std::string>& files) {
    FileDisc fileDisc(files);
    if (reportProblemFiles(fileDisc))
        return {EXIT_PROBLEM_FILES};

    try {
        const Found found = lookUp(arguments, files.front(), fileDisc);
        Console::discs(found.discs);
        if (found.discs.empty()) {
            Console::noResults();
            return {EXIT_NO_RESULTS};
        }
        const Disc* disc = chosenDisc(arguments, found);
        return disc != nullptr ? tag(arguments, fileDisc, *disc, *found.database) : DiscResult{EXIT_NEEDS_CHOICE};
    } catch (const std::exception& error) {
        Console::error(error.what());
        return {EXIT_ERROR};
    }
}

DiscResult runRename(const CommandLineArguments& arguments, const std::vector<std::string>& files) {
    FileDisc fileDisc(files);
    if (reportProblemFiles(fileDisc))
        return {EXIT_PROBLEM_FILES};

    const std::vector<OldNameNewName> plan = fileDisc.generateNewNames(arguments.templateString);
    Console::renamePlan(plan);

    // A plan that would put two files on one name is refused before asking.
    const std::vector<RenameProblem> clashes = FileDisc::findClashes(plan);
    if (!clashes.empty()) {
        Console::renameProblems(clashes);
        return {EXIT_ERROR};
    }
    if (!arguments.unattended && !Console::confirmRename())
        return {};
    const std::vector<RenameProblem>& failures = fileDisc.renameFiles(plan);
    Console::renameProblems(failures);
    return {failures.empty() ? EXIT_DONE : EXIT_ERROR};
}

DiscResult runDisc(const CommandLineArguments& arguments, const std::vector<std::string>& files) {
    // A save cut short is put back before any command reads the files.
    FileDisc::recoverInterruptedSaves(files, Console::note);
    try {
        switch (arguments.command) {
        case COMMAND_LIST:
            return runList(files);
        case COMMAND_RENAME:
            return runRename(arguments, files);
        default:
            return runLookup(arguments, files);
        }
    } catch (const TooManyOpenFiles& error) {
        Console::error(error.what());
        return {EXIT_PROBLEM_FILES};
    }
}

// Of two exit statuses, the one that says more is wrong: 4, 5, 3, 2, 0.
int worse(int a, int b) {
    const auto rank = [](int status) {
        const int order[] = {EXIT_DONE, EXIT_NO_RESULTS, EXIT_PROBLEM_FILES, EXIT_NEEDS_CHOICE, EXIT_ERROR};
        return std::find(std::begin(order), std::end(order), status) - std::begin(order);
    };
    return rank(a) >= rank(b) ? a : b;
}

// One disc of a run over folders; an error ends that disc only.
DiscResult runFolder(const CommandLineArguments& arguments, const std::string& folder) {
    try {
        const std::vector<std::string> files = FileDisc::audioFilesIn(folder);
        if (files.empty())
            throw TagException("No audio files in " + folder);
        return runDisc(arguments, files);
    } catch (const std::exception& error) {
        Console::error(error.what());
        return {EXIT_ERROR};
    }
}

int runFolders(const CommandLineArguments& arguments) {
    Console::Summary summary;
    int status = EXIT_DONE;
    const std::vector<std::string>& folders = arguments.files;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        Console::discHeading(folders[i], i + 1, folders.size());
        const DiscResult result = runFolder(arguments, folders[i]);
        status = worse(status, result.status);
        switch (result.status) {
        case EXIT_DONE:
            ++(result.unchanged ? summary.unchanged : summary.tagged);
            break;
        case EXIT_NEEDS_CHOICE:
            ++summary.needChoice;
            break;
        case EXIT_NO_RESULTS:
            ++summary.notFound;
            break;
        default:
            ++summary.failed;
        }
    }
    if (arguments.command == COMMAND_ID || arguments.command == COMMAND_SEQUENCE)
        Console::summary(summary);
    return status;
}

} // namespace

int runCommand(const CommandLineArguments& arguments) {
    if (arguments.command == COMMAND_HELP || arguments.command == COMMAND_NONE) {
        Console::usage();
        return EXIT_USAGE;
    }
    Console::banner(false);
    if (arguments.command == COMMAND_RENAME && !FileDisc::isTemplate(arguments.templateString)) {
        Console::noToken();
        return EXIT_ERROR;
    }
    if (arguments.folders)
        return runFolders(arguments);
    return runDisc(arguments, arguments.files).status;
}

} // namespace Vantrel
