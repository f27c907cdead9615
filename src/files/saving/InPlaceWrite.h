#ifndef VANTREL_FILES_SAVING_INPLACEWRITE_H
#define VANTREL_FILES_SAVING_INPLACEWRITE_H

#include <vector>

#include "files/saving/Journal.h"
#include "files/saving/OverlayStream.h"

namespace Vantrel {

// How a prepared layout differs from the file on disk.
struct Changes {
    // Ranges of the new file to write.
    std::vector<ByteRange> writes;
    // Ranges of the old file whose bytes change or are cut off: what the
    // journal must keep.
    std::vector<ByteRange> kept;
    long oldSize = 0;
    long newSize = 0;

    bool none() const { return writes.empty() && oldSize == newSize; }
};

// Compares `layout` with the file open on `descriptor` (`oldSize` bytes
// long). Bytes prepared in memory are compared with the file's, block by
// block, so that a tag rewritten as it was changes nothing. Throws
// JournalFailure when the file cannot be read.
Changes changesBetween(const Layout& layout, int descriptor, long oldSize);

// Writes the changes into the file open on `descriptor`, taking the old
// bytes that moved from `journal`, sets the new size and syncs the file.
// Throws JournalFailure with the first failure.
void writeInPlace(const Layout& layout, const Changes& changes, const Journal& journal, int descriptor);

} // namespace Vantrel

#endif
