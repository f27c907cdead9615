#ifndef VANTREL_FILES_NAMING_SAFERENAME_H
#define VANTREL_FILES_NAMING_SAFERENAME_H

#include <string>

namespace Vantrel {

// Moves `from` to `to` in one atomic step that fails with EEXIST when `to`
// exists, so an existing file is never replaced. Failures are thrown as
// std::system_error with the errno value.
void renameNoReplace(const std::string& from, const std::string& to);

// The same through a hard link, for file systems that cannot rename without
// replacing: the link fails when `to` exists, then `from` is removed.
void moveByLink(const std::string& from, const std::string& to);

} // namespace Vantrel

#endif
