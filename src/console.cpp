#include "console.h"

#include <algorithm>
#include <string>

#include "connection.h"
#include "disc/Text.h"

namespace {

const char* const PROGRAM_NAME = "Vantrel";
const double VERSION = VANTREL_VERSION;
const long RELEASE_DATE = VANTREL_RELEASE_DATE;

// "[ 9] " up to nine, "[10] " from ten on.
template <typename Number>
void writeBracketedNumber(std::ostream& stream, Number number) {
    stream << '[' << (number <= 9 ? " " : "") << number << "] ";
}

} // namespace

void banner(std::ostream& stream, bool longForm) {
    stream << PROGRAM_NAME << ' ' << VERSION << " Release Date: " << RELEASE_DATE << " Built: " << __DATE__ << ' '
           << __TIME__ << std::endl;
    if (longForm) {
        stream << "Tags and renames the audio files of a ripped CD from the CDDB database." << std::endl;
        stream << "Home page and documentation: the README.md of the vantrel source tree." << std::endl;
    }
    stream << std::endl;
}

void usage(std::ostream& stream) {
    banner(stream, true);
    stream << "vantrel [-c cache_mode] [-s hostname] [-p port] [-P protocol] [-d database] [-h] "
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
           << "* -s hostname: use hostname as the CDDB server (default: " << DEFAULT_CDDB_SERVER << ")" << std::endl
           << "* -p port: connect to CDDB server using port (default for cddbp: " << DEFAULT_CDDBP_PORT
           << " default for http: " << DEFAULT_HTTP_PORT << ")" << std::endl
           << "* -P protocol: use one of 'cddbp', 'http' or 'proxy' (default: cddbp)" << std::endl
           << "* -d database: use one of 'cddb' or 'musicbrainz' (default: cddb)" << std::endl
           << std::endl;
}

void PrintProblemFiles::operator()(const Vantrel::ProblemFile& problem) {
    stream << problem.path << ": " << Vantrel::FileDisc::ProblemTypeToString(problem.type) << std::endl;
}

void PrintRenameProblems::operator()(const Vantrel::RenameProblem& problem) {
    stream << problem.oldName << ": " << problem.reason << std::endl;
}

void PrintDisc::operator()(const Vantrel::Disc& disc) {
    ++count;
    writeBracketedNumber(stream, count);
    stream << Vantrel::forTerminal(disc.getArtist()) << " - " << Vantrel::forTerminal(disc.getTitle())
           << " (Year: " << disc.getYear() << " Genre: " << Vantrel::forTerminal(disc.getGenre()) << ")" << std::endl;
    std::for_each(disc.getTracks().begin(), disc.getTracks().end(), PrintTrack(stream, 5));
}

void PrintTrack::operator()(const Vantrel::Track& track) {
    stream << std::string(indent, ' ') << (track.getTrackNo() <= 9 ? " " : "") << track.getTrackNo() << ". "
           << Vantrel::forTerminal(track.getName()) << " (" << Vantrel::minutesAndSeconds(track.getLength()) << ")"
           << std::endl;
}

void PrintOldNameNewName::operator()(const Vantrel::OldNameNewName& entry) {
    writeBracketedNumber(stream, count);
    stream << "'" << Vantrel::forTerminal(entry.oldName) << "' -> '" << Vantrel::forTerminal(entry.newName) << "'"
           << std::endl;
    ++count;
}
