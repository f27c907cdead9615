#ifndef VANTREL_CLI_COMMANDLINEARGUMENTSPARSER_H
#define VANTREL_CLI_COMMANDLINEARGUMENTSPARSER_H

#include <string>
#include <vector>

#include "cli/CommandLineArguments.h"
#include "cli/ParseException.h"

namespace Vantrel {

// Copies an argument vector into strings; applied with std::for_each.
struct CopyItems {
    std::vector<std::string> items;
    void operator()(char*& item) { items.emplace_back(item ? item : ""); }
};

// Recursive-descent parser with one token of look-ahead. The whole command
// line is parsed by the constructor; any error leaves it as a ParseException.
class CommandLineArgumentsParser {
public:
    CommandLineArgumentsParser();
    CommandLineArgumentsParser(int argc, char** argv);

    CommandLineArguments& getArguments() { return arguments; }

private:
    void accept(const std::string& expected);
    bool acceptEOF();
    bool parseArguments();
    bool parseFlags();
    bool parseFlag();
    bool parseCacheMode();
    bool parseServer();
    bool parsePort();
    bool parseProtocol();
    bool parseDatabase();
    bool parseTocFile();
    bool parseCommand();
    bool parseCDDBCategory();
    bool parseCDDBID();
    bool parseTemplate();
    bool parseFiles();

    void setCurrentToken();

    CommandLineArguments arguments;
    std::vector<std::string> tokens;
    std::vector<std::string>::const_iterator position;
    std::string currentToken;
};

} // namespace Vantrel

#endif
