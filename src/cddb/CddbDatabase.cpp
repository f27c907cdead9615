#include "cddb/CddbDatabase.h"

#include <cstdlib>

#include "cddb/CDDBQuery.h"

namespace Vantrel {

namespace {

class CddbDatabase : public Database {
public:
    CddbDatabase(const CddbSettings& settings, const NoteSink& notes)
        : connection(connectionOf(settings)), notes(notes) {}

    std::vector<Disc> discsFor(const TableOfContents& toc) override {
        return CDDBQuery(connection).discsFor(toc, notes);
    }

    std::vector<Disc> discsFor(const TypedIdentifier& identifier) override {
        return CDDBQuery(connection).read(identifier.kind, cddbDiscIdOf(identifier.text), notes);
    }

    // A CDDB disc ID counts the whole seconds of the starts and the end.
    bool identifiesByWholeSeconds() const override { return true; }

    std::optional<Picture> frontCover(const Disc&) override { return std::nullopt; }

private:
    Connection connection;
    NoteSink notes;
};

} // namespace

unsigned int cddbDiscIdOf(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 16);
    return static_cast<unsigned int>(static_cast<unsigned long long>(value));
}

std::unique_ptr<Database> openCddb(const CddbSettings& settings, const NoteSink& notes) {
    return std::make_unique<CddbDatabase>(settings, notes);
}

} // namespace Vantrel
