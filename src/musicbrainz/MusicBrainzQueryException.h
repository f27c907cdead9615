#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H

#include <stdexcept>

namespace Vantrel {

class MusicBrainzQueryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Vantrel

#endif
