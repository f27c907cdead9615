#ifndef VANTREL_CLI_CONSOLE_H
#define VANTREL_CLI_CONSOLE_H

#include <string>
#include <vector>

#include "disc/Disc.h"
#include "disc/Duration.h"
#include "files/FileRecords.h"

// Everything the program says and asks on the terminal. Texts from files and
// servers are shown with their control characters as '?'.
namespace Console {

void banner(bool longForm);
void usage();
// A command line that could not be parsed: the usage, then why.
void parseError(const std::string& message);
// "Vantrel: Error: " and the message, on standard output.
void error(const std::string& message);
// A note for the user on standard error, one line.
void note(const std::string& line);

void problemFiles(const std::vector<Vantrel::ProblemFile>& problems);
void listing(const std::vector<Vantrel::FileDetails>& files);

// Before each disc of a run over folders.
void discHeading(const std::string& folder, std::size_t number, std::size_t count);

// How the discs of a run over folders ended.
struct Summary {
    unsigned int tagged = 0;
    unsigned int unchanged = 0;
    unsigned int needChoice = 0;
    unsigned int notFound = 0;
    unsigned int failed = 0;
};
void summary(const Summary& counts);

void discs(const std::vector<Vantrel::Disc>& discs);
void noResults();
void foundWithAdjustment(const Vantrel::Duration& adjustment);
// Which rip log, CUE sheet or FLAC file the table of contents came from.
void tableOfContentsFrom(const std::string& path);
void describesAnotherDisc(const std::string& path);
void sourcesDiffer(const std::string& path, const std::string& otherPath);
// Asks until the answer is the number of a disc; throws std::runtime_error
// "No disc chosen." at the end of input.
const Vantrel::Disc& chooseDisc(const std::vector<Vantrel::Disc>& discs);
// Why -y wrote nothing: several discs, or one not found for certain.
void severalMatch(std::size_t count);
void onlyApproximate();
// One file's tagging line, and why it was not saved when it was not.
void tagResult(const Vantrel::TagResult& result);

void noToken();
void renamePlan(const std::vector<Vantrel::OldNameNewName>& plan);
void renameProblems(const std::vector<Vantrel::RenameProblem>& problems);
// True when the user answers y or Y; otherwise says the rename was cancelled.
bool confirmRename();

} // namespace Console

#endif
