#ifndef VANTREL_FILES_NAMING_RENAMEPLAN_H
#define VANTREL_FILES_NAMING_RENAMEPLAN_H

#include <string>
#include <vector>

#include "files/FileRecords.h"
#include "files/set/OpenFiles.h"

namespace Vantrel {

// True when the template holds the character every token begins with.
bool holdsToken(const std::string& templateString);

// Expands the rename template for every file, in order. The new name is the
// last component of the expansion (the file stays in its directory), in
// UTF-8, with the tag texts shortened when the name is longer than the file
// system allows. Throws TagException for a file without a tag.
std::vector<OldNameNewName> planNewNames(const std::vector<OpenFile>& files, const std::string& templateString);

// Entries of the plan that would end at the same target as another one.
// A target is the old name's directory plus the new name's last component.
std::vector<RenameProblem> findClashes(const std::vector<OldNameNewName>& plan);

// Renames each file inside its own directory, never replacing an existing
// file; returns the entries that were not renamed.
std::vector<RenameProblem> renameAll(const std::vector<OldNameNewName>& plan);

} // namespace Vantrel

#endif
