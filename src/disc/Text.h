#ifndef VANTREL_DISC_TEXT_H
#define VANTREL_DISC_TEXT_H

#include <string>

namespace Vantrel {

// The text of a CDDB entry as UTF-8. Valid UTF-8 stays as it is; UTF-8 whose
// only fault is a last character cut short by a line limit loses that
// character; anything else is read as Latin-1 (ISO-8859-1), the encoding of
// older entries.
std::string entryTextToUtf8(const std::string& bytes);

// UTF-8 text with each control character (U+0000-U+001F, U+007F-U+009F)
// replaced by `replacement`. Other bytes, invalid ones included, stay.
std::string replaceControlCharacters(const std::string& text, char replacement);

// The text with its ASCII letters in lower case.
std::string lowerCase(std::string text);

// Text from files and servers made safe to print: a title cannot move the
// cursor or recolour the terminal.
inline std::string forTerminal(const std::string& text) { return replaceControlCharacters(text, '?'); }

} // namespace Vantrel

#endif
