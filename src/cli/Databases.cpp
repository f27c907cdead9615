#include "cli/Databases.h"

#include <algorithm>
#include <iterator>

#include "cddb/CddbDatabase.h"
#include "musicbrainz/MusicBrainzDatabase.h"

namespace Vantrel {

namespace {

struct DatabaseChoice {
    const char* name;
    bool takesProtocol;
    bool offersCovers;
    std::unique_ptr<Database> (*open)(const LookupSettings& settings, const NoteSink& notes);
};

// Every database, each handed only the settings it uses; the first is the default.
const DatabaseChoice DATABASES[] = {
    {"cddb", true, false,
     [](const LookupSettings& s, const NoteSink& notes) {
         return openCddb(CddbSettings{s.cacheMode, s.server, s.port, s.protocol, s.serverFirst}, notes);
     }},
    {"musicbrainz", false, true,
     [](const LookupSettings& s, const NoteSink& notes) {
         return openMusicBrainz(MusicBrainzSettings{s.cacheMode, s.server, s.port, s.serverFirst}, notes);
     }},
};

const DatabaseChoice* choiceNamed(const std::string& name) {
    const auto found = std::find_if(std::begin(DATABASES), std::end(DATABASES),
                                    [&name](const DatabaseChoice& choice) { return name == choice.name; });
    return found == std::end(DATABASES) ? nullptr : found;
}

} // namespace

bool isDatabaseName(const std::string& name) { return choiceNamed(name) != nullptr; }

bool takesProtocol(const std::string& name) {
    const DatabaseChoice* choice = choiceNamed(name);
    return choice != nullptr && choice->takesProtocol;
}

bool offersCovers(const std::string& name) {
    const DatabaseChoice* choice = choiceNamed(name);
    return choice != nullptr && choice->offersCovers;
}

std::unique_ptr<Database> openDatabase(const std::string& name, const LookupSettings& settings,
                                       const NoteSink& notes) {
    const DatabaseChoice* choice = choiceNamed(name);
    return (choice != nullptr ? choice : &DATABASES[0])->open(settings, notes);
}

} // namespace Vantrel
