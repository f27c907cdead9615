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

// The discs of a disc ID lookup, in the server's order. A known disc ID is
// answered with the disc and its releases: each medium that holds discId is
// one disc. Otherwise (a lookup by table of contents) the answer is a list
// of releases: each medium with trackCount tracks is one disc.
std::vector<Disc> discsOfDiscIdAnswer(const std::string& answer, const std::string& discId,
                                      std::size_t trackCount);

// The discs of a release lookup: every medium, in order.
std::vector<Disc> discsOfReleaseAnswer(const std::string& answer);

// The text of an error answer ({"error": "...", ...}); empty when it has none.
std::string errorOfAnswer(const std::string& answer);

} // namespace Vantrel

#endif
