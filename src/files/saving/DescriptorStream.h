#ifndef VANTREL_FILES_SAVING_DESCRIPTORSTREAM_H
#define VANTREL_FILES_SAVING_DESCRIPTORSTREAM_H

#include <taglib/tiostream.h>

#include <optional>
#include <string>

namespace Vantrel {

// A TagLib stream over an open file descriptor that remembers the first
// failed or short write, read, truncation or sync. TagLib's own file stream
// drops such failures (a full disk, a file size limit) and reports success,
// so a save through it cannot be trusted; through this one it can.
// The descriptor stays the caller's.
class DescriptorStream : public TagLib::IOStream {
public:
    // `name` is what TagLib sees as the file's name, for instance to choose
    // the file type by its extension.
    DescriptorStream(int descriptor, const std::string& name);

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return descriptor >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position; }
    long length() override;
    void truncate(long length) override;

    // What failed first; nothing while every operation succeeded.
    const std::optional<std::string>& failure() const { return firstFailure; }

    // Watches the bytes from `begin` to `end`: touched() tells whether any
    // write or truncation reached them since.
    void watch(long begin, long end);
    bool touched() const { return watchedTouched; }

private:
    // Copies the bytes from `from` to the end of the file to `to`, walking
    // backwards when they move towards the end so nothing is overwritten
    // before it is copied.
    void moveTail(long from, long to);
    bool writeAt(const char* data, std::size_t size, long offset);
    long readAt(char* data, std::size_t size, long offset);
    void fail(const std::string& what, int error);

    int descriptor;
    std::string fileName;
    long position = 0;
    std::optional<std::string> firstFailure;
    long watchedBegin = 0;
    long watchedEnd = 0;
    bool watchedTouched = false;
};

} // namespace Vantrel

#endif
