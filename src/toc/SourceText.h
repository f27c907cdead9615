#ifndef VANTREL_TOC_SOURCETEXT_H
#define VANTREL_TOC_SOURCETEXT_H

#include <string>
#include <vector>

namespace Vantrel {

// The lines of a rip log or CUE sheet, without their ends. Text in UTF-16 or
// UTF-32 with a byte order mark comes as UTF-8; anything else (UTF-8 or a
// single-byte code page) as it is, for everything a table of contents is
// made of is ASCII in all of them. Throws TocSourceError when the file
// cannot be read, is not text of that kind, or is larger than any log.
std::vector<std::string> linesOfSource(const std::string& path);

bool startsWith(const std::string& text, const std::string& prefix);
// The text without the blanks around it.
std::string trimmed(const std::string& text);
// True when the trimmed text is a number of at most nine digits.
bool isNumber(const std::string& text);
// That number; throws TocSourceError when the text is not one.
int numberOf(const std::string& text);

} // namespace Vantrel

#endif
