#ifndef VANTREL_CLI_PARSEEXCEPTION_H
#define VANTREL_CLI_PARSEEXCEPTION_H

#include <stdexcept>
#include <string>

namespace Vantrel {

class ParseException : public std::runtime_error {
public:
    explicit ParseException(const std::string& detail) : std::runtime_error("Parse Exception: " + detail) {}
};

} // namespace Vantrel

#endif
