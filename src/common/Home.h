#ifndef VANTREL_COMMON_HOME_H
#define VANTREL_COMMON_HOME_H

#include <string>

namespace Vantrel {

// The user's home folder as the password database has it; empty when there
// is none. For when HOME is not set.
std::string homeFromPasswordDatabase();

} // namespace Vantrel

#endif
