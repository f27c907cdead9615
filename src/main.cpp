#include <algorithm>
#include <exception>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CommandLineArgumentsParser.h"
#include "console.h"
#include "files/FileDisc.h"
#include "files/Tokens.h"
#include "lookup.h"
#include "system.h"

using namespace Vantrel;

namespace {

enum ExitStatus {
    EXIT_DONE = 0,
    EXIT_USAGE = 1,
    EXIT_NO_RESULTS = 2,
    EXIT_PROBLEM_FILES = 3,
    EXIT_ERROR = 4
};

// Reports unusable files on standard error; true when there were any.
bool reportProblemFiles(FileDisc& fileDisc) {
    const std::vector<ProblemFile>& problems = fileDisc.checkFiles();
    std::for_each(problems.begin(), problems.end(), PrintProblemFiles(std::cerr));
    return !problems.empty();
}

int runList(const CommandLineArguments& arguments) {
    banner(std::cout, false);
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;
    fileDisc.printDetails(std::cout);
    return EXIT_DONE;
}

// Asks until the answer is a disc number from 1 to count. Input that is not a
// number is dropped up to the end of its line; at the end of input nothing
// is chosen.
const Disc& chooseDisc(const std::vector<Disc>& results) {
    for (;;) {
        std::cout << "Which disc [1-" << results.size() << "] ? " << std::flush;
        unsigned int choice = 0;
        if (std::cin >> choice) {
            if (choice >= 1 && choice <= results.size())
                return results[choice - 1];
            continue;
        }
        if (std::cin.eof()) {
            std::cout << std::endl;
            throw std::runtime_error("No disc chosen.");
        }
        std::cin.clear();
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
}

int runLookup(const CommandLineArguments& arguments) {
    banner(std::cout, false);
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;

    try {
        const std::vector<Disc> results = lookUpDiscs(arguments, fileDisc);
        std::for_each(results.begin(), results.end(), PrintDisc(std::cout));
        if (results.empty()) {
            std::cout << "No results." << std::endl;
            return EXIT_NO_RESULTS;
        }
        const Disc& disc = chooseDisc(results);
        if (arguments.command == COMMAND_ID)
            fileDisc.tagByBestFit(disc);
        else
            fileDisc.tagByOrder(disc);
    } catch (const std::exception& error) {
        std::cout << "Vantrel: Error: " << error.what() << std::endl;
        return EXIT_ERROR;
    }
    return EXIT_DONE;
}

int runRename(const CommandLineArguments& arguments) {
    banner(std::cout, false);
    if (arguments.templateString.find(TOKEN) == std::string::npos) {
        std::cout << "No valid token found in template." << std::endl;
        return EXIT_ERROR;
    }
    FileDisc fileDisc(arguments.files);
    if (reportProblemFiles(fileDisc))
        return EXIT_PROBLEM_FILES;

    const std::vector<OldNameNewName> plan = fileDisc.generateNewNames(arguments.templateString);
    std::for_each(plan.begin(), plan.end(), PrintOldNameNewName(std::cout));

    // A plan that would put two files on one name is refused before asking.
    const std::vector<RenameProblem> clashes = FileDisc::findClashes(plan);
    if (!clashes.empty()) {
        std::for_each(clashes.begin(), clashes.end(), PrintRenameProblems(std::cerr));
        return EXIT_ERROR;
    }

    std::cout << std::endl << "Rename [yn] ? " << std::flush;
    char answer = 0;
    if (std::cin >> answer && (answer == 'y' || answer == 'Y')) {
        const std::vector<RenameProblem>& failures = fileDisc.renameFiles(plan);
        std::for_each(failures.begin(), failures.end(), PrintRenameProblems(std::cerr));
        return failures.empty() ? EXIT_DONE : EXIT_ERROR;
    }
    std::cout << std::endl << "Cancelled" << std::endl;
    return EXIT_DONE;
}

int dispatch(const CommandLineArguments& arguments) {
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
    usage(std::cout);
    return EXIT_USAGE;
}

} // namespace

int main(int argc, char** argv) {
    prepareProcess();

    CommandLineArguments arguments;
    try {
        CommandLineArgumentsParser parser(argc, argv);
        arguments = parser.getArguments();
    } catch (const ParseException& error) {
        usage(std::cout);
        std::cout << error.what() << std::endl;
        return EXIT_USAGE;
    }

    // Errors outside the lookup stage (opening, listing, renaming) end the
    // same way as lookup errors.
    try {
        return dispatch(arguments);
    } catch (const std::exception& error) {
        std::cout << "Vantrel: Error: " << error.what() << std::endl;
    } catch (...) {
        std::cout << "Vantrel: Error: unexpected failure" << std::endl;
    }
    return EXIT_ERROR;
}
