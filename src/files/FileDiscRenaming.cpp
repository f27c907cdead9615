#include "files/FileDisc.h"

namespace Vantrel {

const std::vector<OldNameNewName>& FileDisc::generateNewNames(const std::string&) {
    throw TagException("Renaming is not yet available");
}
std::vector<RenameProblem> FileDisc::findClashes(const std::vector<OldNameNewName>&) { return {}; }
const std::vector<RenameProblem>& FileDisc::renameFiles(const std::vector<OldNameNewName>&) { return renameProblems; }

} // namespace Vantrel
