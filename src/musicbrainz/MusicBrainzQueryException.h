#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYEXCEPTION_H

#include <exception>
#include <string>

namespace Vantrel {

class MusicBrainzQueryException : public std::exception {
public:
    explicit MusicBrainzQueryException(const std::string& message) : message(message) {}
    ~MusicBrainzQueryException() override = default;
    const char* what() const noexcept override { return message.c_str(); }

private:
    std::string message;
};

} // namespace Vantrel

#endif
