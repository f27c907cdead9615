#ifndef VANTREL_FILES_SET_DISCFOLDER_H
#define VANTREL_FILES_SET_DISCFOLDER_H

#include <string>
#include <vector>

namespace Vantrel {

// The audio files directly inside a folder, in natural name order ("2"
// before "10"): regular files of a kind the audio library reads, hidden ones
// (and so the program's own journals) left out.
std::vector<std::string> audioFilesIn(const std::string& folder);

// True when `a` comes before `b` in natural order: runs of digits compare
// by their value.
bool naturallyBefore(const std::string& a, const std::string& b);

} // namespace Vantrel

#endif
