#ifndef VANTREL_TOC_TOCSOURCEERROR_H
#define VANTREL_TOC_TOCSOURCEERROR_H

#include <stdexcept>

namespace Vantrel {

// A rip log or CUE sheet that cannot be read or understood; the message
// says why.
class TocSourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A source that was read but cannot describe the files being tagged: a
// mixed-mode disc (a data track before the audio), or a CUE sheet whose
// files are neither beside it nor the ones given.
class AnotherDiscError : public TocSourceError {
public:
    using TocSourceError::TocSourceError;
};

} // namespace Vantrel

#endif
