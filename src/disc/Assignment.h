#ifndef VANTREL_DISC_ASSIGNMENT_H
#define VANTREL_DISC_ASSIGNMENT_H

#include <vector>

namespace Vantrel {

// Gives tracks to files so that the total difference between each track's
// length and its file's is the smallest possible; as many pairs are made as
// the shorter list has entries. Of equally good assignments, the one that
// uses the earliest files and gives the earlier of them to the earlier
// tracks wins. Lengths are in any one unit, from 0 to 2^40. Returns, for
// each track, the index of its file, or -1 for a track left without one.
std::vector<int> assignByLength(const std::vector<long long>& trackLengths, const std::vector<long long>& fileLengths);

} // namespace Vantrel

#endif
