#include "lookup.h"

#include <iostream>
#include <memory>

#include "cddb/CDDBQuery.h"
#include "connection.h"
#include "musicbrainz/MusicBrainzQuery.h"
#include "search.h"

using namespace Vantrel;

namespace {

const int FIRST_TRACK_OFFSET = 2 * frames_per_second;

std::vector<Disc> lookUpCddb(const CommandLineArguments& arguments, FileDisc& fileDisc) {
    if (arguments.command == COMMAND_SEQUENCE)
        return lookUpByLengths(arguments, fileDisc.generateOffsets(FIRST_TRACK_OFFSET), std::cerr)->getResults();
    CDDBQuery query(arguments.category, arguments.discId);
    setArguments(arguments, &query);
    query.query();
    return query.getResults();
}

std::vector<Disc> lookUpMusicBrainz(const CommandLineArguments& arguments, FileDisc& fileDisc) {
    std::unique_ptr<MusicBrainzQuery> query;
    if (arguments.command == COMMAND_ID) {
        query = std::make_unique<MusicBrainzQuery>(arguments.category, arguments.discIdText);
    } else {
        const Offsets offsets = fileDisc.generateOffsets(FIRST_TRACK_OFFSET);
        query = std::make_unique<MusicBrainzQuery>(offsets.frameOffsets, offsets.leadOut);
    }
    if (arguments.serverGiven || arguments.portGiven)
        query->setServer(arguments.serverGiven ? arguments.server : MUSICBRAINZ_SERVER,
                         arguments.portGiven ? static_cast<unsigned int>(arguments.port) : MUSICBRAINZ_HTTPS_PORT);
    query->setCache(arguments.cacheModeGiven ? arguments.cacheMode : CACHE_MODE_ON);
    query->query();
    return query->getResults();
}

} // namespace

std::vector<Disc> lookUpDiscs(const CommandLineArguments& arguments, FileDisc& fileDisc) {
    if (arguments.database == DATABASE_MUSICBRAINZ)
        return lookUpMusicBrainz(arguments, fileDisc);
    return lookUpCddb(arguments, fileDisc);
}
