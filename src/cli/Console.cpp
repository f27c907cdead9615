#include "cli/Console.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <stdexcept>

#include "cddb/ConnectionSettings.h"
#include "disc/Text.h"

using Vantrel::forTerminal;

namespace {

const char* const PROGRAM_NAME = "Vantrel";
const double VERSION = VANTREL_VERSION;
const long RELEASE_DATE = VANTREL_RELEASE_DATE;

// "[ 9] " up to nine, "[10] " from ten on.
template <typename Number>
void writeBracketedNumber(std::ostream& stream, Number number) {
    stream << '[' << (number <= 9 ? " " : "") << number << "] ";
}

std::string problemText(Vantrel::ProblemType type) {
    switch (type) {
    case Vantrel::PROBLEM_NONE:
        return "None";
    case Vantrel::PROBLEM_READ_ONLY:
        return "File is read-only";
    case Vantrel::PROBLEM_INVALID:
        return "File is invalid";
    case Vantrel::PROBLEM_INVALID_AND_READ_ONLY:
        return "File is invalid and read-only";
    }
    return "";
}

// Tenths of a second, rounded: "1.5".
std::string secondsWithTenths(unsigned long long milliseconds) {
    const unsigned long long tenths = (milliseconds + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts)
        if (!part.empty())
            text += (text.empty() ? "" : separator) + part;
    return text;
}

// "      Disc 2 of 2: Bonus Disc · CD · GB 2003-03-25 · Warner Bros. 9362-48186-2 · 093624818621":
// what tells the media and pressings of a release apart.
void printMedium(const Vantrel::ReleaseDetails& release) {
    const std::string details =
        joined({release.discSubtitle, release.mediaFormat, joined({release.country, release.date}, " "),
                joined({joined(release.labels, ", "), joined(release.catalogNumbers, ", ")}, " "), release.barcode},
               " \u00b7 ");
    std::cout << "      Disc " << release.discNumber << " of " << release.discTotal
              << (details.empty() ? "" : ": " + forTerminal(details)) << std::endl;
}

void printTrack(const Vantrel::Track& track) {
    std::cout << "     " << (track.getTrackNo() <= 9 ? " " : "") << track.getTrackNo() << ". "
              << forTerminal(track.getName()) << " (" << Vantrel::minutesAndSeconds(track.getLength()) << ")"
              << std::endl;
}

} // namespace

namespace Console {

void banner(bool longForm) {
    std::cout << PROGRAM_NAME << ' ' << VERSION << " Release Date: " << RELEASE_DATE << " Built: " << __DATE__ << ' '
              << __TIME__ << std::endl;
    if (longForm) {
        std::cout << "Tags and renames the audio files of a ripped CD from the CDDB database." << std::endl;
        std::cout << "Home page and documentation: the README.md of the vantrel source tree." << std::endl;
    }
    std::cout << std::endl;
}

void usage() {
    banner(true);
    std::cout << "vantrel [-c cache_mode] [-s hostname] [-p port] [-P protocol] [-d database] [-t toc_file] [-y] "
                 "[-F] [-h] "
                 "command [command_arguments] file..."
              << std::endl
              << std::endl
              << "Commands:" << std::endl
              << "* id cddb_category cddb_id_hex: retrieves the given disc from the CDDB" << std::endl
              << "  database and tags each file by closest length." << std::endl
              << "* sequence: generates a CDDB ID, queries the CDDB database" << std::endl
              << "* rename: renames files based on a template with the following tokens:" << std::endl
              << "    %a = artist, %g = genre. %s = song title, %t = album title" << std::endl
              << "    %y = year, %n = track number" << std::endl
              << "* help: this help screen" << std::endl
              << std::endl
              << "Flags:" << std::endl
              << "* -c cache_mode: use one of 'on', 'off' or 'only' (default: on)" << std::endl
              << "* -s hostname: use hostname as the CDDB server (default: " << Vantrel::DEFAULT_CDDB_SERVER << ")"
              << std::endl
              << "* -p port: connect to CDDB server using port (default for cddbp: " << Vantrel::DEFAULT_CDDBP_PORT
              << " default for http: " << Vantrel::DEFAULT_HTTP_PORT << ")" << std::endl
              << "* -P protocol: use one of 'cddbp', 'http' or 'proxy' (default: cddbp)" << std::endl
              << "* -d database: use one of 'cddb' or 'musicbrainz' (default: cddb)" << std::endl
              << "* -t toc_file: take the disc's table of contents from a rip log or CUE sheet" << std::endl
              << "* -y: never ask; tag a disc only when exactly one was found for certain" << std::endl
              << "* -F: embed the release's front cover (MusicBrainz only)" << std::endl
              << std::endl;
}

void parseError(const std::string& message) {
    usage();
    std::cout << forTerminal(message) << std::endl;
}

void error(const std::string& message) { std::cout << "Vantrel: Error: " << forTerminal(message) << std::endl; }

void note(const std::string& line) { std::cerr << forTerminal(line) << std::endl; }

void problemFiles(const std::vector<Vantrel::ProblemFile>& problems) {
    for (const Vantrel::ProblemFile& problem : problems)
        std::cerr << forTerminal(problem.path) << ": " << problemText(problem.type) << std::endl;
}

void listing(const std::vector<Vantrel::FileDetails>& files) {
    std::cout << "Output format: Artist - Title (Track Number, Year, Genre)" << std::endl << std::endl;
    unsigned int count = 0;
    for (const Vantrel::FileDetails& file : files) {
        ++count;
        std::cout << (count <= 9 ? " " : "") << count << ". " << forTerminal(file.path) << " ("
                  << Vantrel::minutesAndSeconds(file.seconds) << ')' << std::endl;
        std::cout << "    " << forTerminal(file.artist) << " - " << forTerminal(file.title) << " (" << file.track
                  << ", " << file.year << ", " << forTerminal(file.genre) << ')' << std::endl;
    }
}

void discHeading(const std::string& folder, std::size_t number, std::size_t count) {
    std::cout << "== " << forTerminal(folder) << " (" << number << "/" << count << ")" << std::endl;
}

void summary(const Summary& counts) {
    std::cout << "Done: " << counts.tagged << " tagged, " << counts.unchanged << " unchanged, " << counts.needChoice
              << " need a choice, " << counts.notFound << " not found, " << counts.failed << " failed" << std::endl;
}

void severalMatch(std::size_t count) {
    std::cout << "Vantrel: " << count << " discs match; run without -y to choose" << std::endl;
}

void onlyApproximate() { std::cout << "Vantrel: only an approximate match; run without -y to choose" << std::endl; }

void discs(const std::vector<Vantrel::Disc>& discs) {
    std::uint32_t count = 0;
    for (const Vantrel::Disc& disc : discs) {
        writeBracketedNumber(std::cout, ++count);
        const std::optional<Vantrel::ReleaseDetails>& release = disc.getRelease();
        std::cout << forTerminal(disc.getArtist()) << " - " << forTerminal(disc.getTitle())
                  << " (Year: " << disc.getYear() << " Genre: " << forTerminal(disc.getGenre()) << ")";
        if (release && release->lengthsOffByMilliseconds)
            std::cout << " (fuzzy match, lengths off by " << secondsWithTenths(*release->lengthsOffByMilliseconds)
                      << " s in all)";
        std::cout << std::endl;
        if (release)
            printMedium(*release);
        std::for_each(disc.getTracks().begin(), disc.getTracks().end(), printTrack);
    }
}

void noResults() { std::cout << "No results." << std::endl; }

void foundWithAdjustment(const Vantrel::Duration& adjustment) {
    std::cerr << "Vantrel: found with the lengths adjusted by " << adjustment.milliseconds() << " ms" << std::endl;
}

void tableOfContentsFrom(const std::string& path) {
    std::cerr << "Vantrel: table of contents from " << forTerminal(path) << std::endl;
}

void describesAnotherDisc(const std::string& path) {
    std::cerr << "Vantrel: " << forTerminal(path) << " describes another disc; using the files' lengths" << std::endl;
}

void sourcesDiffer(const std::string& path, const std::string& otherPath) {
    std::cerr << "Vantrel: " << forTerminal(path) << " and " << forTerminal(otherPath)
              << " describe the disc differently; using the files' lengths" << std::endl;
}

// Input that is not a number is dropped up to the end of its line.
const Vantrel::Disc& chooseDisc(const std::vector<Vantrel::Disc>& discs) {
    for (;;) {
        std::cout << "Which disc [1-" << discs.size() << "] ? " << std::flush;
        unsigned int choice = 0;
        if (std::cin >> choice) {
            if (choice >= 1 && choice <= discs.size())
                return discs[choice - 1];
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

void tagResult(const Vantrel::TagResult& result) {
    std::cout << result.number << ": File " << forTerminal(result.path);
    if (result.matched)
        std::cout << " matches " << forTerminal(result.matchedTrack);
    const bool failed = result.outcome == Vantrel::TagResult::FAILED;
    std::cout << (failed                                               ? " [Save Failed]"
                  : result.outcome == Vantrel::TagResult::UNCHANGED ? " [Tag Unchanged]"
                                                                     : " [Tag Saved]")
              << std::endl;
    if (failed)
        std::cerr << forTerminal(result.path) << ": " << forTerminal(result.reason) << std::endl;
}

void noToken() { std::cout << "No valid token found in template." << std::endl; }

void renamePlan(const std::vector<Vantrel::OldNameNewName>& plan) {
    std::int32_t count = 0;
    for (const Vantrel::OldNameNewName& entry : plan) {
        writeBracketedNumber(std::cout, ++count);
        std::cout << "'" << forTerminal(entry.oldName) << "' -> '" << forTerminal(entry.newName) << "'" << std::endl;
    }
}

void renameProblems(const std::vector<Vantrel::RenameProblem>& problems) {
    for (const Vantrel::RenameProblem& problem : problems)
        std::cerr << forTerminal(problem.oldName) << ": " << forTerminal(problem.reason) << std::endl;
}

bool confirmRename() {
    std::cout << std::endl << "Rename [yn] ? " << std::flush;
    char answer = 0;
    if (std::cin >> answer && (answer == 'y' || answer == 'Y'))
        return true;
    std::cout << std::endl << "Cancelled" << std::endl;
    return false;
}

} // namespace Console
