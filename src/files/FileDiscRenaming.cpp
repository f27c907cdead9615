#include "files/FileDisc.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

#include <taglib/tag.h>

#include "files/SafeRename.h"
#include "files/Tokens.h"

namespace Vantrel {

namespace {

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

// Why a new name cannot be used at all; empty when it can.
std::string unusableNameReason(const std::string& newName) {
    // The system call would stop at the NUL and use a shorter name than the
    // plan shows.
    if (newName.find('\0') != std::string::npos)
        return "new name contains a NUL character";
    const std::string name = lastComponent(newName);
    if (name.empty() || name == "." || name == "..")
        return "new name does not end in a file name";
    return std::string();
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

std::string renameFailure(int error, const std::string& target) {
    if (error == EEXIST)
        return "'" + target + "' already exists";
    return "cannot rename to '" + target + "': " + std::strerror(error);
}

} // namespace

const std::vector<OldNameNewName>& FileDisc::generateNewNames(const std::string& templateString) {
    newNames = std::for_each(files.begin(), files.end(), PrepareNewNames(templateString)).newNames;
    return newNames;
}

void PrepareNewNames::operator()(const FileDisc::PathFileRef& entry) {
    const TagLib::Tag* tag = entry.fileRef.isNull() ? nullptr : entry.fileRef.tag();
    if (tag == nullptr)
        throw TagException("Tag is NULL when trying to generate a name.");

    // Each token is replaced in the result of the ones before it.
    std::string name = templateString;
    replace_with(name, ARTIST_TOKEN, tag->artist());
    replace_with(name, GENRE_TOKEN, tag->genre());
    replace_with(name, SONG_TITLE_TOKEN, tag->title());
    replace_with(name, ALBUM_TITLE_TOKEN, tag->album());
    replace_with(name, YEAR_TOKEN, formatNumber("%d", tag->year()));
    replace_with(name, TRACK_NUMBER, formatNumber("%02d", tag->track()));
    newNames.push_back(OldNameNewName{entry.path, name});
}

void PrepareNewNames::replace_with(std::string& text, const std::string& token, const std::string& value) {
    const std::string::size_type at = text.find(token);
    if (at != std::string::npos)
        text.replace(at, token.size(), value);
}

void PrepareNewNames::replace_with(std::string& text, const std::string& token, const TagLib::String& value) {
    replace_with(text, token, value.to8Bit(false));
}

std::vector<RenameProblem> FileDisc::findClashes(const std::vector<OldNameNewName>& plan) {
    // Entries with an unusable name fail on their own when renamed.
    std::vector<std::pair<const OldNameNewName*, TargetKey>> keyed;
    std::map<TargetKey, int> uses;
    for (const OldNameNewName& entry : plan) {
        if (!unusableNameReason(entry.newName).empty())
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

const std::vector<RenameProblem>& FileDisc::renameFiles(const std::vector<OldNameNewName>& plan) {
    renameProblems = std::for_each(plan.begin(), plan.end(), RenameFiles()).problems;
    return renameProblems;
}

void RenameFiles::operator()(const OldNameNewName& entry) {
    const std::string unusable = unusableNameReason(entry.newName);
    if (!unusable.empty()) {
        problems.push_back(RenameProblem{entry.oldName, unusable});
        return;
    }
    // The file stays in its directory, so an equal last component means it
    // already has its new name.
    if (lastComponent(entry.newName) == lastComponent(entry.oldName))
        return;
    const std::string target = targetOf(entry);
    const int error = renameNoReplace(entry.oldName, target);
    if (error != 0)
        problems.push_back(RenameProblem{entry.oldName, renameFailure(error, target)});
}

} // namespace Vantrel
