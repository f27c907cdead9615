#ifndef VANTREL_CDDB_CDDBQUERYEXCEPTION_H
#define VANTREL_CDDB_CDDBQUERYEXCEPTION_H

#include <exception>
#include <string>

namespace Vantrel {

class CDDBQueryException : public std::exception {
public:
    explicit CDDBQueryException(const std::string& message) : message(message) {}
    ~CDDBQueryException() override = default;
    const char* what() const noexcept override { return message.c_str(); }

private:
    std::string message;
};

} // namespace Vantrel

#endif
