#ifndef VANTREL_FILES_TAGEXCEPTION_H
#define VANTREL_FILES_TAGEXCEPTION_H

#include <exception>
#include <string>

namespace Vantrel {

class TagException : public std::exception {
public:
    explicit TagException(const std::string& message) : message(message) {}
    ~TagException() override = default;
    const char* what() const noexcept override { return message.c_str(); }

private:
    std::string message;
};

} // namespace Vantrel

#endif
