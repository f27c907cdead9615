#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CommandLineArgumentsParser.h"

using namespace Vantrel;

namespace {

CommandLineArguments parse(std::vector<std::string> tokens) {
    std::vector<char*> argv;
    for (std::string& token : tokens)
        argv.push_back(token.data());
    CommandLineArgumentsParser parser(static_cast<int>(argv.size()), argv.data());
    return parser.getArguments();
}

// The message of the ParseException that parsing the tokens throws.
std::string parseError(const std::vector<std::string>& tokens) {
    try {
        parse(tokens);
    } catch (const ParseException& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(Parser, CommandsAndTheirArguments) {
    CommandLineArguments id = parse({"vantrel", "id", "rock", "0xd50dd30f", "a.mp3", "b.mp3"});
    EXPECT_EQ(id.command, COMMAND_ID);
    EXPECT_EQ(id.category, "rock");
    EXPECT_EQ(id.discIdText, "0xd50dd30f");
    EXPECT_EQ(id.files, (std::vector<std::string>{"a.mp3", "b.mp3"}));
    EXPECT_FALSE(id.unattended || id.frontCover || id.folders);
    const CommandLineArguments flags = parse({"vantrel", "-F", "-y", "-d", "musicbrainz", "sequence", "/"});
    EXPECT_TRUE(flags.unattended && flags.frontCover && flags.folders);

    CommandLineArguments rename = parse({"vantrel", "rename", "%n - %s.mp3", "x"});
    EXPECT_EQ(rename.command, COMMAND_RENAME);
    EXPECT_EQ(rename.templateString, "%n - %s.mp3");
    EXPECT_EQ(rename.files, std::vector<std::string>{"x"});
    EXPECT_TRUE(rename.category.empty());

    EXPECT_EQ(parse({"vantrel", "sequence", "f"}).command, COMMAND_SEQUENCE);
    EXPECT_EQ(parse({"vantrel", "list", "f"}).command, COMMAND_LIST);
    EXPECT_EQ(parse({"vantrel", "help"}).command, COMMAND_HELP);

    CommandLineArguments musicBrainz = parse({"vantrel", "-d", "musicbrainz", "id", "release", "59211ea4-ffd2", "f"});
    EXPECT_EQ(musicBrainz.database, "musicbrainz");
    EXPECT_EQ(musicBrainz.category, "release");
    EXPECT_EQ(musicBrainz.discIdText, "59211ea4-ffd2");
    EXPECT_EQ(parse({"vantrel", "-d", "cddb", "-P", "http", "list", "f"}).database, "cddb");
    EXPECT_EQ(parse({"vantrel", "-c", "off", "-h"}).command, COMMAND_HELP);
    EXPECT_EQ(parse({"vantrel", "-t", "a.cue", "-t", "-rip.log", "sequence", "f"}).tocFile, "-rip.log");
    EXPECT_FALSE(parse({"vantrel", "sequence", "f"}).tocFile);
}

TEST(Parser, FlagsRepeatAndKeepTheLastValueUntilTheCommand) {
    CommandLineArguments arguments =
        parse({"vantrel", "-c", "off", "-s", "-dash.example", "-p", "8880", "-P", "http", "-c", "on", "list", "-c", "", "-h"});
    // After the command, everything is a file.
    EXPECT_EQ(arguments.files, (std::vector<std::string>{"-c", "", "-h"}));
    EXPECT_TRUE(arguments.cacheModeGiven);
    EXPECT_EQ(arguments.cacheMode, CACHE_MODE_ON);
    EXPECT_TRUE(arguments.serverGiven);
    EXPECT_EQ(arguments.server, "-dash.example");
    EXPECT_TRUE(arguments.portGiven);
    EXPECT_EQ(arguments.port, 8880);
    EXPECT_TRUE(arguments.protocolGiven);
    EXPECT_EQ(arguments.protocol, PROTOCOL_HTTP);

    EXPECT_EQ(parse({"vantrel", "-c", "only", "-P", "proxy", "list", "f"}).cacheMode, CACHE_MODE_ONLY);
    EXPECT_EQ(parse({"vantrel", "-P", "cddbp", "list", "f"}).protocol, PROTOCOL_CDDBP);
    CommandLineArguments none = parse({"vantrel", "list", "f"});
    EXPECT_FALSE(none.cacheModeGiven || none.serverGiven || none.portGiven || none.protocolGiven);
    EXPECT_EQ(none.protocol, PROTOCOL_NONE);
}

TEST(Parser, PortsAreReadLikeStrtol) {
    const std::pair<const char*, int> ports[] = {{"1", 1}, {"32767", 32767}, {"80abc", 80}, {" 888", 888}, {"+888", 888}};
    for (const auto& [token, port] : ports)
        EXPECT_EQ(parse({"v", "-p", token, "list", "f"}).port, port) << token;
    for (const char* bad : {"0", "-1", "32768", "http", "", "99999999999999999999"})
        EXPECT_EQ(parseError({"v", "-p", bad, "list", "f"}), "Parse Exception: Expected valid port number (0-32767)")
            << bad;
}

TEST(Parser, ErrorMessages) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "Expected command"},  // no program name: argc is 0
        {{"vantrel"}, "Expected command"},
        {{"vantrel", ""}, "Expected command"},
        {{"vantrel", "ID", "misc", "1", "f"}, "Unknown command"},
        {{"vantrel", "help", "x"}, "Expected EOF"},
        {{"vantrel", "-h", "-c", "on"}, "Expected EOF"},
        {{"vantrel", "-c"}, "Unknown cache mode"},
        {{"vantrel", "-c", "On", "list", "f"}, "Unknown cache mode"},
        {{"vantrel", "-s"}, "Expected server hostname"},
        {{"vantrel", "-p"}, "Expected valid port number (0-32767)"},
        {{"vantrel", "-P"}, "Unknown protocol"},
        {{"vantrel", "-P", "HTTP", "list", "f"}, "Unknown protocol"},
        {{"vantrel", "-d", "MusicBrainz", "list", "f"}, "Unknown database"},
        {{"vantrel", "-t"}, "Expected table of contents file"},
        {{"vantrel", "-t", "", "sequence", "f"}, "Expected table of contents file"},
        {{"vantrel", "-P", "http", "-d", "musicbrainz", "list", "f"}, "Protocol applies to CDDB only"},
        {{"vantrel", "-F", "-d", "cddb", "sequence", "f"}, "Front covers come from MusicBrainz only"},
        {{"vantrel", "id"}, "Expected CDDB category"},
        {{"vantrel", "id", "", "1", "f"}, "Expected CDDB category"},
        {{"vantrel", "id", "misc"}, "Expected CDDB disc ID"},
        {{"vantrel", "id", "misc", "1"}, "Expected at least one file"},
        {{"vantrel", "rename"}, "Expected template string"},
        {{"vantrel", "rename", "", "f"}, "Expected template string"},
        {{"vantrel", "rename", "%n"}, "Expected at least one file"},
        // The parser stops at the first error.
        {{"vantrel", "-P", "ftp", "-c", "bad"}, "Unknown protocol"},
    };
    for (const auto& [tokens, detail] : cases)
        EXPECT_EQ(parseError(tokens), "Parse Exception: " + detail) << testing::PrintToString(tokens);
}
