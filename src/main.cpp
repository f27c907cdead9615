#include <exception>

#include "cli/CommandLineArgumentsParser.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Process.h"

using namespace Vantrel;

int main(int argc, char** argv) {
    prepareProcess();

    CommandLineArguments arguments;
    try {
        CommandLineArgumentsParser parser(argc, argv);
        arguments = parser.getArguments();
    } catch (const ParseException& error) {
        Console::parseError(error.what());
        return EXIT_USAGE;
    }

    // Errors outside the lookup stage (opening, listing, renaming) end the
    // same way as lookup errors.
    try {
        return runCommand(arguments);
    } catch (const std::exception& error) {
        Console::error(error.what());
    } catch (...) {
        Console::error("unexpected failure");
    }
    return EXIT_ERROR;
}
