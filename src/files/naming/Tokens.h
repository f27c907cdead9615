#ifndef VANTREL_FILES_NAMING_TOKENS_H
#define VANTREL_FILES_NAMING_TOKENS_H

#include <string>

namespace Vantrel {

// Rename template tokens. Every token begins with TOKEN.
const std::string TOKEN = "%";
const std::string ARTIST_TOKEN = "%a";
const std::string GENRE_TOKEN = "%g";
const std::string SONG_TITLE_TOKEN = "%s";
const std::string ALBUM_TITLE_TOKEN = "%t";
const std::string YEAR_TOKEN = "%y";
const std::string TRACK_NUMBER = "%n";

} // namespace Vantrel

#endif
