#include "common/Home.h"

#include <pwd.h>
#include <unistd.h>

namespace Vantrel {

std::string homeFromPasswordDatabase() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

} // namespace Vantrel
