#ifndef VANTREL_CLI_COMMANDS_H
#define VANTREL_CLI_COMMANDS_H

#include "cli/CommandLineArguments.h"

namespace Vantrel {

enum ExitStatus {
    EXIT_DONE = 0,
    EXIT_USAGE = 1,
    EXIT_NO_RESULTS = 2,
    EXIT_PROBLEM_FILES = 3,
    EXIT_ERROR = 4,
    EXIT_NEEDS_CHOICE = 5
};

// Runs the command of the parsed command line, over the files of one disc
// or over folders of discs in turn; returns the exit status, the worst of
// the discs'. With the files of one disc, errors outside the lookup stage are
// thrown.
int runCommand(const CommandLineArguments& arguments);

} // namespace Vantrel

#endif
