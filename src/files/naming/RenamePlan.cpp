#include "files/naming/RenamePlan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>

#include <taglib/tag.h>

#include "disc/Text.h"
#include "files/TagException.h"
#include "files/naming/SafeRename.h"
#include "files/naming/Tokens.h"

namespace Vantrel {

namespace {

// The limit of most file systems, for a directory that cannot be asked.
const std::size_t COMMON_NAME_MAX = 255;

// The tag holds the numbers unsigned; they are printed as the signed values
// the template formats describe.
std::string formatNumber(const char* format, unsigned int number) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(number));
    return buffer;
}

// The text after the last '/': the name a file of the plan gets.
std::string lastComponent(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory of a path that names a file, as POSIX dirname gives it.
std::string directoryPart(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    const std::string::size_type end = path.find_last_not_of('/', slash);
    return end == std::string::npos ? "/" : path.substr(0, end + 1);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// Why one entry of a plan is not renamed.
class NotRenamed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void requireUsableName(const std::string& newName) {
    // The system call would stop at the NUL and use a shorter name than the
    // plan shows.
    if (newName.find('\0') != std::string::npos)
        throw NotRenamed("new name contains a NUL character");
    const std::string name = lastComponent(newName);
    if (name.empty() || name == "." || name == "..")
        throw NotRenamed("new name does not end in a file name");
}

bool isUsableName(const std::string& newName) {
    try {
        requireUsableName(newName);
        return true;
    } catch (const NotRenamed&) {
        return false;
    }
}

std::string targetOf(const OldNameNewName& entry) {
    return joinPath(directoryPart(entry.oldName), lastComponent(entry.newName));
}

// Identifies a target by its directory's device and inode, so that different
// spellings of one directory ("a.mp3", "./a.mp3", an absolute path) meet.
using TargetKey = std::tuple<dev_t, ino_t, std::string, std::string>;

TargetKey targetKey(const OldNameNewName& entry) {
    const std::string directory = directoryPart(entry.oldName);
    const std::string name = lastComponent(entry.newName);
    struct stat info;
    if (stat(directory.c_str(), &info) == 0)
        return TargetKey(info.st_dev, info.st_ino, std::string(), name);
    return TargetKey(0, 0, directory, name);
}

// The longest name, in bytes, that the file system of a directory allows.
std::size_t nameMax(const std::string& directory) {
    errno = 0;
    const long limit = pathconf(directory.c_str(), _PC_NAME_MAX);
    if (limit > 0)
        return static_cast<std::size_t>(limit);
    return errno == 0 ? std::numeric_limits<std::size_t>::max() : COMMON_NAME_MAX;
}

// A tag text as it goes into a name: UTF-8, with no '/' to move the file and
// no control character.
std::string fieldText(const TagLib::String& value) {
    std::string text = replaceControlCharacters(value.to8Bit(true), '_');
    std::replace(text.begin(), text.end(), '/', '-');
    return text;
}

// A name being expanded, with the origin of every byte: tag texts may be
// shortened, the template's own text and the numbers never.
class ExpandedName {
public:
    enum Origin : char { FIXED, TAG_TEXT };

    void append(const std::string& text, Origin origin) {
        name += text;
        origins.append(text.size(), origin);
    }

    void keepLastComponent() {
        const std::string::size_type slash = name.rfind('/');
        if (slash == std::string::npos)
            return;
        name.erase(0, slash + 1);
        origins.erase(0, slash + 1);
    }

    // Shortens the tag texts until the name has at most maxBytes bytes: no
    // text is cut shorter than needed to let the longest ones fit, and every
    // cut falls between two UTF-8 characters.
    void shortenTo(std::size_t maxBytes) {
        if (name.size() <= maxBytes)
            return;
        const std::vector<std::pair<std::size_t, std::size_t>> runs = fieldRuns();
        const std::size_t keep = longestKept(runs, maxBytes);
        std::string shortName;
        std::string shortOrigins;
        std::size_t copied = 0;
        for (const auto& run : runs) {
            std::size_t end = std::min(run.second, run.first + keep);
            while (end > run.first && end < run.second && isContinuationByte(name[end]))
                --end;
            shortName.append(name, copied, end - copied);
            shortOrigins.append(origins, copied, end - copied);
            copied = run.second;
        }
        shortName.append(name, copied, std::string::npos);
        shortOrigins.append(origins, copied, std::string::npos);
        name.swap(shortName);
        origins.swap(shortOrigins);
    }

    const std::string& text() const { return name; }

private:
    static bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

    // The [start, end) ranges of tag text, in order.
    std::vector<std::pair<std::size_t, std::size_t>> fieldRuns() const {
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        for (std::size_t at = 0; at < name.size(); ++at) {
            if (origins[at] != TAG_TEXT)
                continue;
            const std::size_t start = at;
            while (at < name.size() && origins[at] == TAG_TEXT)
                ++at;
            runs.emplace_back(start, at);
        }
        return runs;
    }

    // The most bytes each tag text may keep so that the name fits.
    std::size_t longestKept(const std::vector<std::pair<std::size_t, std::size_t>>& runs, std::size_t maxBytes) const {
        std::vector<std::size_t> lengths;
        for (const auto& run : runs)
            lengths.push_back(run.second - run.first);
        std::sort(lengths.begin(), lengths.end());
        const std::size_t fieldBytes = std::accumulate(lengths.begin(), lengths.end(), std::size_t{0});
        const std::size_t fixedBytes = name.size() - fieldBytes;
        std::size_t budget = maxBytes > fixedBytes ? maxBytes - fixedBytes : 0;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::size_t sharing = lengths.size() - i;
            if (lengths[i] * sharing > budget)
                return budget / sharing;
            budget -= lengths[i];
        }
        return budget;
    }

    std::string name;
    std::string origins;
};

// What one token of the template stands for.
struct TokenValue {
    const std::string& token;
    std::string value;
    ExpandedName::Origin origin;
};

// Expands the template in one pass, left to right: the first occurrence of
// each token is replaced and later ones stay as they are. A value is never
// expanded again, so a tag text holding a token keeps it.
ExpandedName expand(const std::string& templateString, const std::vector<TokenValue>& values) {
    ExpandedName name;
    std::vector<bool> used(values.size(), false);
    for (std::size_t at = 0; at < templateString.size();) {
        std::size_t which = 0;
        while (which < values.size() &&
               (used[which] || templateString.compare(at, values[which].token.size(), values[which].token) != 0))
            ++which;
        if (which == values.size()) {
            name.append(templateString.substr(at, 1), ExpandedName::FIXED);
            ++at;
            continue;
        }
        used[which] = true;
        name.append(values[which].value, values[which].origin);
        at += values[which].token.size();
    }
    return name;
}

std::string renameFailure(const std::system_error& error, const std::string& target) {
    if (error.code().value() == EEXIST)
        return "'" + target + "' already exists";
    return "cannot rename to '" + target + "': " + std::strerror(error.code().value());
}

// Expands the rename template for every file; applied with std::for_each.
class PrepareNewNames {
public:
    explicit PrepareNewNames(const std::string& templateString) : templateString(templateString) {}

    void operator()(const OpenFile& entry) {
        const TagLib::Tag* tag = entry.fileRef.isNull() ? nullptr : entry.fileRef.tag();
        if (tag == nullptr)
            throw TagException("Tag is NULL when trying to generate a name.");

        ExpandedName name =
            expand(templateString, {{ARTIST_TOKEN, fieldText(tag->artist()), ExpandedName::TAG_TEXT},
                                    {GENRE_TOKEN, fieldText(tag->genre()), ExpandedName::TAG_TEXT},
                                    {SONG_TITLE_TOKEN, fieldText(tag->title()), ExpandedName::TAG_TEXT},
                                    {ALBUM_TITLE_TOKEN, fieldText(tag->album()), ExpandedName::TAG_TEXT},
                                    {YEAR_TOKEN, formatNumber("%d", tag->year()), ExpandedName::FIXED},
                                    {TRACK_NUMBER, formatNumber("%02d", tag->track()), ExpandedName::FIXED}});
        name.keepLastComponent();
        name.shortenTo(nameMax(directoryPart(entry.path)));
        newNames.push_back(OldNameNewName{entry.path, name.text()});
    }

    std::string templateString;
    std::vector<OldNameNewName> newNames;
};

// Renames one file of a plan, collecting the entries that were not renamed;
// applied with std::for_each.
struct RenameFiles {
    void operator()(const OldNameNewName& entry) {
        try {
            requireUsableName(entry.newName);
            // The file stays in its directory, so an equal last component
            // means it already has its new name.
            if (lastComponent(entry.newName) == lastComponent(entry.oldName))
                return;
            const std::string target = targetOf(entry);
            try {
                renameNoReplace(entry.oldName, target);
            } catch (const std::system_error& error) {
                throw NotRenamed(renameFailure(error, target));
            }
        } catch (const NotRenamed& problem) {
            problems.push_back(RenameProblem{entry.oldName, problem.what()});
        }
    }

    std::vector<RenameProblem> problems;
};

} // namespace

bool holdsToken(const std::string& templateString) { return templateString.find(TOKEN) != std::string::npos; }

std::vector<OldNameNewName> planNewNames(const std::vector<OpenFile>& files, const std::string& templateString) {
    return std::for_each(files.begin(), files.end(), PrepareNewNames(templateString)).newNames;
}

std::vector<RenameProblem> findClashes(const std::vector<OldNameNewName>& plan) {
    // Entries with an unusable name fail on their own when renamed.
    std::vector<std::pair<const OldNameNewName*, TargetKey>> keyed;
    std::map<TargetKey, int> uses;
    for (const OldNameNewName& entry : plan) {
        if (!isUsableName(entry.newName))
            continue;
        keyed.emplace_back(&entry, targetKey(entry));
        ++uses[keyed.back().second];
    }

    std::vector<RenameProblem> clashes;
    for (const auto& entryAndKey : keyed) {
        if (uses[entryAndKey.second] > 1) {
            const OldNameNewName& entry = *entryAndKey.first;
            clashes.push_back(
                RenameProblem{entry.oldName, "'" + targetOf(entry) + "' would be the new name of more than one file"});
        }
    }
    return clashes;
}

std::vector<RenameProblem> renameAll(const std::vector<OldNameNewName>& plan) {
    return std::for_each(plan.begin(), plan.end(), RenameFiles()).problems;
}

} // namespace Vantrel
