#ifndef VANTREL_CLI_DATABASES_H
#define VANTREL_CLI_DATABASES_H

#include <memory>
#include <string>

#include "lookup/Database.h"
#include "lookup/LookupSettings.h"

namespace Vantrel {

// The databases a user may choose with -d, by name.
bool isDatabaseName(const std::string& name);
// True when the database takes a protocol (-P).
bool takesProtocol(const std::string& name);
// True when the database has front covers (-F).
bool offersCovers(const std::string& name);
// Opens the database of that name with the settings it takes.
std::unique_ptr<Database> openDatabase(const std::string& name, const LookupSettings& settings,
                                       const NoteSink& notes);

} // namespace Vantrel

#endif
