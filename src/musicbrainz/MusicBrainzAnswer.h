#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZANSWER_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZANSWER_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "disc/Disc.h"

namespace Vantrel {

// An answer that is not the JSON the web service sends.
class AnswerFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Well-formed JSON holding a value no answer of the service holds: a number
// out of range, or not whole where it must be.
class AnswerValueError : public AnswerFormatError {
public:
    using AnswerFormatError::AnswerFormatError;
};

// A disc matched by its tracks' lengths is offered only when each track is
// at most this far from its file.
const unsigned long long FUZZY_TRACK_TOLERANCE_MILLISECONDS = 10000;

struct DiscIdAnswer {
    std::vector<Disc> discs;
    // Of a match by lengths: how many releases the server knows, and how
    // many of them it sent. Both 0 otherwise.
    unsigned long long releasesKnown = 0;
    std::size_t releasesSent = 0;
};

// The discs of a disc ID lookup. A known disc ID is answered with the disc
// and its releases: each medium that holds discId is one disc, in the
// server's order. Otherwise (a lookup by table of contents) the answer is a
// list of releases matched by lengths: a medium is one disc when it has a
// track for each of the files (fileMilliseconds, their lengths in order)
// and every track is within FUZZY_TRACK_TOLERANCE_MILLISECONDS of its file;
// nearest first. A medium without tracks is never a disc.
DiscIdAnswer discsOfDiscIdAnswer(const std::string& answer, const std::string& discId,
                                 const std::vector<unsigned long long>& fileMilliseconds);

// The discs of a release lookup: every medium with tracks, in order.
std::vector<Disc> discsOfReleaseAnswer(const std::string& answer);

// The text of an error answer ({"error": "...", ...}); empty when it has none.
std::string errorOfAnswer(const std::string& answer);

} // namespace Vantrel

#endif
