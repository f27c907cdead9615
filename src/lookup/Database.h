#ifndef VANTREL_LOOKUP_DATABASE_H
#define VANTREL_LOOKUP_DATABASE_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "disc/Disc.h"
#include "disc/TableOfContents.h"

namespace Vantrel {

// A disc as the user named it: a kind (a CDDB category; for MusicBrainz
// "release" or "discid") and the identifier as typed.
struct TypedIdentifier {
    std::string kind;
    std::string text;
};

// Takes the notes a lookup has for the user (one line each, without its end).
using NoteSink = std::function<void(const std::string&)>;

// A database of discs. Finding nothing is no error: the list is empty.
// Failures are thrown as exceptions derived from std::runtime_error.
class Database {
public:
    virtual ~Database() = default;

    // The discs whose table of contents this is.
    virtual std::vector<Disc> discsFor(const TableOfContents& toc) = 0;
    // The discs the identifier names.
    virtual std::vector<Disc> discsFor(const TypedIdentifier& identifier) = 0;

    // True when a disc's identifier depends only on the whole seconds of its
    // tracks' starts and of its end, so that tables of contents near one of
    // estimated lengths can be tried in turn.
    virtual bool identifiesByWholeSeconds() const = 0;

    // The front cover of a disc it found, if it keeps covers and has one;
    // what kept it from giving one goes to the notes.
    virtual std::optional<Picture> frontCover(const Disc& disc) = 0;
};

} // namespace Vantrel

#endif
