#ifndef VANTREL_FILES_TAGEXCEPTION_H
#define VANTREL_FILES_TAGEXCEPTION_H

#include <stdexcept>

namespace Vantrel {

class TagException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The files cannot all be open at once with room left for the lookup and
// the saves; no file is at fault.
class TooManyOpenFiles : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Vantrel

#endif
