#ifndef VANTREL_CLI_COMMANDLINEARGUMENTS_H
#define VANTREL_CLI_COMMANDLINEARGUMENTS_H

#include <cstdint>
#include <string>
#include <vector>

namespace Vantrel {

enum Command : std::int32_t {
    COMMAND_NONE = 0,
    COMMAND_ID = 1,
    COMMAND_SEQUENCE = 2,
    COMMAND_RENAME = 3,
    COMMAND_LIST = 4,
    COMMAND_HELP = 5
};

enum Cache : std::int32_t {
    CACHE_MODE_ON = 0,
    CACHE_MODE_OFF = 1,
    CACHE_MODE_ONLY = 2
};

enum Protocol : std::int32_t {
    PROTOCOL_NONE = 0,
    PROTOCOL_CDDBP = 1,
    PROTOCOL_HTTP = 2,
    PROTOCOL_PROXY = 3
};

enum Database : std::int32_t {
    DATABASE_CDDB = 0,
    DATABASE_MUSICBRAINZ = 1
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
    Database database = DATABASE_CDDB;
    // For id: the CDDB category, or the MusicBrainz lookup word.
    std::string category;
    std::uint32_t discId = 0;
    // For id: the token after the category as typed (a MusicBrainz identifier).
    std::string discIdText;
    std::vector<std::string> files;
    std::string templateString;
};

} // namespace Vantrel

#endif
