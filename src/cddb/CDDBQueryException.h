#ifndef VANTREL_CDDB_CDDBQUERYEXCEPTION_H
#define VANTREL_CDDB_CDDBQUERYEXCEPTION_H

#include <stdexcept>

namespace Vantrel {

class CDDBQueryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Vantrel

#endif
