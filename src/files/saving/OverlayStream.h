#ifndef VANTREL_FILES_SAVING_OVERLAYSTREAM_H
#define VANTREL_FILES_SAVING_OVERLAYSTREAM_H

#include <taglib/tiostream.h>

#include <optional>
#include <string>
#include <vector>

namespace Vantrel {

// One stretch of a prepared file: bytes of the file as it is on disk,
// starting at `source`, or bytes held in memory (`source` < 0).
struct Piece {
    long length = 0;
    long source = -1;
    TagLib::ByteVector bytes;

    bool fromDisk() const { return source >= 0; }
};

// A file's new content as stretches, in order.
using Layout = std::vector<Piece>;

long sizeOf(const Layout& layout);
// The stretches of `layout` from `begin` to `end`.
Layout sliceOf(const Layout& layout, long begin, long end);

// A TagLib stream that reads a file open on a descriptor and records every
// write, insertion, removal and truncation in memory instead of making it:
// the file itself is never written. What TagLib saved is then the stream's
// layout, which refers to the file's own bytes wherever they were kept, so
// moving the audio costs no memory. The descriptor stays the caller's.
class OverlayStream : public TagLib::IOStream {
public:
    // The file as it is now. `name` is what TagLib sees as the file's name,
    // for instance to choose the file type by its extension.
    OverlayStream(int descriptor, const std::string& name);
    // A prepared layout of that file, to read back.
    OverlayStream(int descriptor, const std::string& name, Layout layout);

    TagLib::FileName name() const override { return fileName.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position; }
    long length() override { return size; }
    void truncate(long length) override;

    const Layout& layout() const { return pieces; }
    // The first read of the file that failed; nothing while all succeeded.
    const std::optional<std::string>& failure() const { return firstFailure; }
    // Reads `count` bytes of the stream's content at `offset`; false when
    // they are not all there.
    bool readAt(long offset, char* data, long count);
    // Where the `count` bytes at `offset` lie in the file on disk, when
    // they are its own bytes, unmoved or moved, in one stretch.
    std::optional<long> diskOffsetOf(long offset, long count) const;
    // True while nothing was changed.
    bool pristine() const { return pieces.size() <= 1 && (pieces.empty() || pieces[0].source == 0); }

private:
    void replace(long begin, long end, const TagLib::ByteVector& data);
    // The index of the piece that starts at `offset`, splitting one if needed.
    std::size_t splitAt(long offset);

    int descriptor;
    std::string fileName;
    Layout pieces;
    long size = 0;
    long position = 0;
    std::optional<std::string> firstFailure;
};

} // namespace Vantrel

#endif
