#ifndef VANTREL_CONSOLE_H
#define VANTREL_CONSOLE_H

#include <cstdint>
#include <ostream>

#include "disc/Disc.h"
#include "files/FileDisc.h"

// Console texts shared by the commands.

void banner(std::ostream& stream, bool longForm);
void usage(std::ostream& stream);

// One line per unusable file: the path, ": " and the problem.
struct PrintProblemFiles {
    explicit PrintProblemFiles(std::ostream& stream) : stream(stream) {}
    void operator()(const Vantrel::ProblemFile& problem);

    std::ostream& stream;
};

// One line per plan entry that was refused or failed: the path, ": " and why.
struct PrintRenameProblems {
    explicit PrintRenameProblems(std::ostream& stream) : stream(stream) {}
    void operator()(const Vantrel::RenameProblem& problem);

    std::ostream& stream;
};

// One numbered disc of the lookup results, with its tracks.
struct PrintDisc {
    explicit PrintDisc(std::ostream& stream) : stream(stream) {}
    void operator()(const Vantrel::Disc& disc);

    std::ostream& stream;
    std::uint32_t count = 0;
};

// One track line: number, name and length as minutes and seconds.
struct PrintTrack {
    PrintTrack(std::ostream& stream, unsigned int indent) : stream(stream), indent(indent) {}
    void operator()(const Vantrel::Track& track);

    std::ostream& stream;
    std::uint32_t indent;
};

// One numbered line of a rename plan.
struct PrintOldNameNewName {
    explicit PrintOldNameNewName(std::ostream& stream) : stream(stream) {}
    void operator()(const Vantrel::OldNameNewName& entry);

    std::ostream& stream;
    std::int32_t count = 1;
};

#endif
