#ifndef VANTREL_CLI_PARSEEXCEPTION_H
#define VANTREL_CLI_PARSEEXCEPTION_H

#include <exception>
#include <string>

namespace Vantrel {

class ParseException : public std::exception {
public:
    explicit ParseException(const std::string& detail) : message("Parse Exception: " + detail) {}
    ~ParseException() override = default;
    const char* what() const noexcept override { return message.c_str(); }

private:
    std::string message;
};

} // namespace Vantrel

#endif
