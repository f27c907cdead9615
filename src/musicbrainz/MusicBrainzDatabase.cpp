#include "musicbrainz/MusicBrainzDatabase.h"

#include "musicbrainz/CoverArt.h"
#include "musicbrainz/MusicBrainzQuery.h"

namespace Vantrel {

namespace {

class MusicBrainzDatabase : public Database {
public:
    MusicBrainzDatabase(const MusicBrainzSettings& settings, const NoteSink& notes)
        : settings(settings), notes(notes) {}

    std::vector<Disc> discsFor(const TableOfContents& toc) override {
        return MusicBrainzQuery(toc, settings).query(notes);
    }

    std::vector<Disc> discsFor(const TypedIdentifier& identifier) override {
        return MusicBrainzQuery(identifier.kind, identifier.text, settings).query(notes);
    }

    // A disc ID is exact to the frame; the service has its own fuzzy lookup.
    bool identifiesByWholeSeconds() const override { return false; }

    std::optional<Picture> frontCover(const Disc& disc) override {
        return disc.getRelease() ? frontCoverOf(disc.getRelease()->releaseId, settings, notes) : std::nullopt;
    }

private:
    MusicBrainzSettings settings;
    NoteSink notes;
};

} // namespace

std::unique_ptr<Database> openMusicBrainz(const MusicBrainzSettings& settings, const NoteSink& notes) {
    return std::make_unique<MusicBrainzDatabase>(settings, notes);
}

} // namespace Vantrel
