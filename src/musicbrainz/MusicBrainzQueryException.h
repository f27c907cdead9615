#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H

#include <stdexcept>

namespace Vantrel {

class MusicBrainzQueryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An answer larger than the request allows.
class AnswerTooLarge : public MusicBrainzQueryException {
public:
    using MusicBrainzQueryException::MusicBrainzQueryException;
};

} // namespace Vantrel

#endif
