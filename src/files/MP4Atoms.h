#ifndef VANTREL_FILES_MP4ATOMS_H
#define VANTREL_FILES_MP4ATOMS_H

namespace Vantrel {

// True when every atom of the MP4 file open on `descriptor` lies inside its
// parent and the file, walking the same containers that TagLib walks. TagLib
// reads a damaged file without complaint but writes it into a file that no
// longer plays, or runs out of memory on an absurd size.
bool mp4AtomsFit(int descriptor);

} // namespace Vantrel

#endif
