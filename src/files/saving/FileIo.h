#ifndef VANTREL_FILES_SAVING_FILEIO_H
#define VANTREL_FILES_SAVING_FILEIO_H

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace Vantrel {

// Whole reads and writes at an offset, retried after interruptions. False
// when they fell short: errno then tells why (0 at the end of the file).
bool readFully(int descriptor, void* data, std::size_t size, off_t offset);
bool writeFully(int descriptor, const void* data, std::size_t size, off_t offset);

// "what: reason" for the error `error`.
std::string describe(const std::string& what, int error);

// Syncs a folder, so that a file created, renamed or removed in it stays so
// after a crash; false when it could not be.
bool syncFolder(const std::string& folder);

} // namespace Vantrel

#endif
