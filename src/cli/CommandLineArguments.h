#ifndef VANTREL_CLI_COMMANDLINEARGUMENTS_H
#define VANTREL_CLI_COMMANDLINEARGUMENTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lookup/LookupSettings.h"

namespace Vantrel {

enum Command : std::int32_t {
    COMMAND_NONE = 0,
    COMMAND_ID = 1,
    COMMAND_SEQUENCE = 2,
    COMMAND_RENAME = 3,
    COMMAND_LIST = 4,
    COMMAND_HELP = 5
};

// The parsed command line.
struct CommandLineArguments {
    Command command = COMMAND_NONE;
    bool cacheModeGiven = false;
    Cache cacheMode = CACHE_MODE_ON;
    bool serverGiven = false;
    std::string server;
    bool portGiven = false;
    std::int32_t port = 0;
    bool protocolGiven = false;
    Protocol protocol = PROTOCOL_NONE;
    bool databaseGiven = false;
    // The name of the database to look discs up in.
    std::string database = "cddb";
    // For sequence: the rip log or CUE sheet given with -t.
    std::optional<std::string> tocFile;
    // -y: never ask; -F: embed the release's front cover.
    bool unattended = false;
    bool frontCover = false;
    // For id: the CDDB category, or the MusicBrainz lookup word.
    std::string category;
    // For id: the token after the category as typed.
    std::string discIdText;
    // The files of one disc, or folders of discs, one disc each.
    std::vector<std::string> files;
    bool folders = false;
    std::string templateString;
};

} // namespace Vantrel

#endif
