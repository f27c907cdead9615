#include "cli/CommandLineArgumentsParser.h"

#include <algorithm>
#include <sys/stat.h>

#include <cstdlib>

#include "cli/Databases.h"

namespace Vantrel {

namespace {

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

CommandLineArgumentsParser::CommandLineArgumentsParser() : position(tokens.cend()) {}

CommandLineArgumentsParser::CommandLineArgumentsParser(int argc, char** argv) {
    if (argc > 0 && argv != nullptr)
        tokens = std::for_each(argv, argv + argc, CopyItems()).items;
    position = tokens.cbegin();
    // Without even a program name there is no command either.
    if (tokens.empty())
        throw ParseException("Expected command");
    setCurrentToken();
    parseArguments();
}

void CommandLineArgumentsParser::setCurrentToken() {
    currentToken = position == tokens.cend() ? std::string() : *position;
}

void CommandLineArgumentsParser::accept(const std::string& expected) {
    if (position == tokens.cend())
        throw ParseException("Expected \"" + expected + "\".");
    if (currentToken != expected)
        throw ParseException("Expected \"" + expected + "\" got " + currentToken);
    ++position;
    setCurrentToken();
}

bool CommandLineArgumentsParser::acceptEOF() {
    if (position != tokens.cend())
        throw ParseException("Expected EOF");
    return true;
}

bool CommandLineArgumentsParser::parseArguments() {
    accept(currentToken);
    parseFlags();
    if (arguments.protocolGiven && !takesProtocol(arguments.database))
        throw ParseException("Protocol applies to CDDB only");
    if (arguments.frontCover && !offersCovers(arguments.database))
        throw ParseException("Front covers come from MusicBrainz only");
    parseCommand();
    return acceptEOF();
}

bool CommandLineArgumentsParser::parseFlags() {
    while (parseFlag()) {
    }
    return true;
}

bool CommandLineArgumentsParser::parseFlag() {
    if (currentToken == "-c") {
        accept(currentToken);
        return parseCacheMode();
    }
    if (currentToken == "-s") {
        accept(currentToken);
        return parseServer();
    }
    if (currentToken == "-p") {
        accept(currentToken);
        return parsePort();
    }
    if (currentToken == "-P") {
        accept(currentToken);
        return parseProtocol();
    }
    if (currentToken == "-d") {
        accept(currentToken);
        return parseDatabase();
    }
    if (currentToken == "-t") {
        accept(currentToken);
        return parseTocFile();
    }
    if (currentToken == "-y") {
        arguments.unattended = true;
        accept(currentToken);
        return true;
    }
    if (currentToken == "-F") {
        arguments.frontCover = true;
        accept(currentToken);
        return true;
    }
    return false;
}

bool CommandLineArgumentsParser::parseCacheMode() {
    if (currentToken == "on")
        arguments.cacheMode = CACHE_MODE_ON;
    else if (currentToken == "off")
        arguments.cacheMode = CACHE_MODE_OFF;
    else if (currentToken == "only")
        arguments.cacheMode = CACHE_MODE_ONLY;
    else
        throw ParseException("Unknown cache mode");
    arguments.cacheModeGiven = true;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseServer() {
    if (currentToken.empty())
        throw ParseException("Expected server hostname");
    arguments.server = currentToken;
    arguments.serverGiven = true;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parsePort() {
    const long port = std::strtol(currentToken.c_str(), nullptr, 10);
    if (port <= 0 || port > 32767)
        throw ParseException("Expected valid port number (0-32767)");
    arguments.port = static_cast<std::int32_t>(port);
    arguments.portGiven = true;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseProtocol() {
    if (currentToken == "cddbp")
        arguments.protocol = PROTOCOL_CDDBP;
    else if (currentToken == "http")
        arguments.protocol = PROTOCOL_HTTP;
    else if (currentToken == "proxy")
        arguments.protocol = PROTOCOL_PROXY;
    else
        throw ParseException("Unknown protocol");
    arguments.protocolGiven = true;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseDatabase() {
    if (!isDatabaseName(currentToken))
        throw ParseException("Unknown database");
    arguments.database = currentToken;
    arguments.databaseGiven = true;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseTocFile() {
    if (currentToken.empty())
        throw ParseException("Expected table of contents file");
    arguments.tocFile = currentToken;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseCommand() {
    if (currentToken == "id") {
        arguments.command = COMMAND_ID;
        accept(currentToken);
        parseCDDBCategory();
        parseCDDBID();
        return parseFiles();
    }
    if (currentToken == "sequence") {
        arguments.command = COMMAND_SEQUENCE;
        accept(currentToken);
        return parseFiles();
    }
    if (currentToken == "rename") {
        arguments.command = COMMAND_RENAME;
        accept(currentToken);
        parseTemplate();
        return parseFiles();
    }
    if (currentToken == "list") {
        arguments.command = COMMAND_LIST;
        accept(currentToken);
        return parseFiles();
    }
    if (currentToken == "help" || currentToken == "-h") {
        arguments.command = COMMAND_HELP;
        accept(currentToken);
        return true;
    }
    if (currentToken.empty())
        throw ParseException("Expected command");
    throw ParseException("Unknown command");
}

bool CommandLineArgumentsParser::parseCDDBCategory() {
    if (currentToken.empty())
        throw ParseException("Expected CDDB category");
    arguments.category = currentToken;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseCDDBID() {
    if (currentToken.empty())
        throw ParseException("Expected CDDB disc ID");
    arguments.discIdText = currentToken;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseTemplate() {
    if (currentToken.empty())
        throw ParseException("Expected template string");
    arguments.templateString = currentToken;
    accept(currentToken);
    return true;
}

bool CommandLineArgumentsParser::parseFiles() {
    for (auto walker = position; walker != tokens.cend(); ++walker) {
        arguments.files.push_back(*walker);
        accept(currentToken);
    }
    if (arguments.files.empty())
        throw ParseException("Expected at least one file");
    const auto folders = std::count_if(arguments.files.begin(), arguments.files.end(), isFolder);
    if (folders != 0 && static_cast<std::size_t>(folders) != arguments.files.size())
        throw ParseException("Give the files of one disc, or folders of discs");
    arguments.folders = folders != 0;
    return true;
}

} // namespace Vantrel
