#ifndef VANTREL_MUSICBRAINZ_ANSWERCACHE_H
#define VANTREL_MUSICBRAINZ_ANSWERCACHE_H

#include <optional>
#include <string>

#include "lookup/Database.h"

namespace Vantrel {

// The answers of the web service kept between runs, one file per request, in
// $XDG_CACHE_HOME/vantrel/musicbrainz (~/.cache/vantrel/musicbrainz when it
// is unset). Without HOME the home folder comes from the password database;
// without one there is no cache: nothing is found, nothing is stored.
// An answer is asked for again once it is this old.
const long long ANSWER_LIFETIME_DAYS = 30;

struct StoredAnswer {
    std::string text;
    // Whole days since it was stored (by its file's modification time).
    long long ageInDays = 0;

    bool expired() const { return ageInDays >= ANSWER_LIFETIME_DAYS; }
};

class AnswerCache {
public:
    // Problems that cost only the cache go to `notes` as warnings.
    explicit AnswerCache(const NoteSink& notes);

    // A name may hold one folder: "folder/file".
    std::string pathOf(const std::string& name) const;
    // The answer stored under name, if there is one.
    std::optional<StoredAnswer> load(const std::string& name) const;
    // Whole or not at all: a killed run never leaves half an answer. A
    // failure costs only the cached copy and is reported as a warning.
    void store(const std::string& name, const std::string& answer) const;
    void remove(const std::string& name) const;

    // Waits until a second has passed since the last request that any run
    // using this cache folder sent, then counts this one as sent. Meant to
    // run right before the request goes out.
    void waitForTurn() const;

private:
    std::string base; // .../vantrel; empty without a home folder
    NoteSink notes;
};

} // namespace Vantrel

#endif
