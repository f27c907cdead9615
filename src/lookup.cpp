#include "lookup.h"

#include <memory>

#include "musicbrainz/MusicBrainzQuery.h"

using namespace Vantrel;

std::vector<Disc> lookUpMusicBrainz(const CommandLineArguments& arguments, FileDisc& fileDisc) {
    std::unique_ptr<MusicBrainzQuery> query;
    if (arguments.command == COMMAND_ID) {
        query = std::make_unique<MusicBrainzQuery>(arguments.category, arguments.discIdText);
    } else {
        const Offsets offsets = fileDisc.generateOffsets(2 * frames_per_second);
        query = std::make_unique<MusicBrainzQuery>(offsets.frameOffsets, offsets.leadOut);
    }
    if (arguments.serverGiven || arguments.portGiven)
        query->setServer(arguments.serverGiven ? arguments.server : MUSICBRAINZ_SERVER,
                         arguments.portGiven ? static_cast<unsigned int>(arguments.port) : MUSICBRAINZ_HTTPS_PORT);
    query->setCache(arguments.cacheModeGiven ? arguments.cacheMode : CACHE_MODE_ON);
    query->query();
    return query->getResults();
}
