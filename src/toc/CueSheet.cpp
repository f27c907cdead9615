#include "toc/CueSheet.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "disc/Disc.h"
#include "toc/SourceText.h"
#include "toc/TocSourceError.h"

namespace Vantrel {

namespace {

struct CueTrack {
    bool audio = true;
    // The file that holds its INDEX 01, and where in it.
    std::size_t file = 0;
    std::optional<int> start;
    // Silence that is in no file (PREGAP, POSTGAP).
    int pregap = 0;
    int postgap = 0;
};

struct CueContent {
    std::vector<std::string> files;
    std::vector<CueTrack> tracks;
};

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// Words separated by blanks; a quoted word may hold blanks.
std::vector<std::string> tokensOf(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
        const bool quoted = line[at] == '"';
        const std::size_t end = quoted ? line.find('"', at + 1) : line.find_first_of(" \t", at);
        const std::size_t stop = end == std::string::npos ? line.size() : end;
        tokens.push_back(line.substr(at + (quoted ? 1 : 0), stop - at - (quoted ? 1 : 0)));
        at = stop + (quoted && end != std::string::npos ? 1 : 0);
    }
    return tokens;
}

// "mm:ss:ff" in frames.
int framesOf(const std::string& time) {
    const std::vector<std::string> parts = {time.substr(0, time.find(':')),
                                            time.substr(time.find(':') + 1, time.rfind(':') - time.find(':') - 1),
                                            time.substr(time.rfind(':') + 1)};
    if (std::count(time.begin(), time.end(), ':') != 2 || !isNumber(parts[0]) || !isNumber(parts[1]) ||
        !isNumber(parts[2]) || numberOf(parts[1]) >= 60 || numberOf(parts[2]) >= frames_per_second ||
        numberOf(parts[0]) > 99)
        throw TocSourceError("\"" + time + "\" is not a time mm:ss:ff");
    return (numberOf(parts[0]) * 60 + numberOf(parts[1])) * frames_per_second + numberOf(parts[2]);
}

bool looksLikeCueSheet(const std::vector<std::string>& lines) {
    const auto hasKeyword = [&lines](const std::string& keyword) {
        return std::any_of(lines.begin(), lines.end(), [&keyword](const std::string& line) {
            const std::vector<std::string> tokens = tokensOf(line);
            return !tokens.empty() && upperCase(tokens.front()) == keyword;
        });
    };
    return hasKeyword("FILE") && hasKeyword("INDEX");
}

CueTrack& currentTrack(CueContent& content, const std::string& keyword) {
    if (content.tracks.empty())
        throw TocSourceError(keyword + " comes before any TRACK");
    return content.tracks.back();
}

void readLine(const std::vector<std::string>& tokens, CueContent& content) {
    const std::string keyword = upperCase(tokens.front());
    if (keyword == "FILE" && tokens.size() >= 2) {
        content.files.push_back(tokens[1]);
    } else if (keyword == "TRACK") {
        if (content.files.empty())
            throw TocSourceError("TRACK comes before any FILE");
        CueTrack track;
        track.audio = tokens.size() < 3 || upperCase(tokens[2]) == "AUDIO";
        content.tracks.push_back(track);
    } else if (keyword == "INDEX" && tokens.size() >= 3 && numberOf(tokens[1]) == 1) {
        CueTrack& track = currentTrack(content, keyword);
        track.file = content.files.size() - 1;
        track.start = framesOf(tokens[2]);
    } else if ((keyword == "PREGAP" || keyword == "POSTGAP") && tokens.size() >= 2) {
        (keyword == "PREGAP" ? currentTrack(content, keyword).pregap : currentTrack(content, keyword).postgap) =
            framesOf(tokens[1]);
    }
}

int framesOf(const PlayingTime& time) {
    return static_cast<int>(std::min<unsigned long long>(time.length.frames(), LAST_CD_FRAME + 1));
}

// The file a sheet names, beside the sheet: as named (a Windows path made a
// POSIX one), else by its last part alone.
std::optional<PlayingTime> lengthOfNamedFile(std::string name, const std::string& folder,
                                             const FileLengths& lengths) {
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::filesystem::path base(folder.empty() ? "." : folder);
    if (std::optional<PlayingTime> time = lengths.ofFile((base / name).string()))
        return time;
    return lengths.ofFile((base / std::filesystem::path(name).filename()).string());
}

// Each file's length in frames; empty when only the lead-out can be told
// (one image file that is not there).
std::vector<int> fileFrames(const CueContent& content, const std::string& folder, const FileLengths& lengths) {
    std::vector<int> frames;
    for (const std::string& name : content.files) {
        const std::optional<PlayingTime> time = lengthOfNamedFile(name, folder, lengths);
        if (!time)
            break;
        frames.push_back(framesOf(*time));
    }
    if (frames.size() == content.files.size())
        return frames;
    if (content.files.size() == lengths.given.size()) {
        frames.clear();
        for (const PlayingTime& time : lengths.given)
            frames.push_back(framesOf(time));
        return frames;
    }
    if (content.files.size() == 1 && !lengths.given.empty())
        return {};
    throw AnotherDiscError("its " + std::to_string(content.files.size()) + " files are not beside it, and " +
                           std::to_string(lengths.given.size()) + " were given");
}

} // namespace

std::optional<TrackLayout> cueSheetLayoutOf(const std::vector<std::string>& lines, const std::string& folder,
                                            const FileLengths& lengths) {
    if (!looksLikeCueSheet(lines))
        return std::nullopt;
    CueContent content;
    for (const std::string& line : lines) {
        const std::vector<std::string> tokens = tokensOf(line);
        if (!tokens.empty())
            readLine(tokens, content);
    }
    if (content.tracks.empty())
        throw TocSourceError("it has no TRACK");
    const std::vector<int> frames = fileFrames(content, folder, lengths);

    // Positions count from the start of the first file, with the silence
    // that lies in no file.
    std::vector<long long> fileStarts = {0};
    for (std::size_t file = 0; file + 1 < frames.size(); ++file)
        fileStarts.push_back(fileStarts.back() + frames[file]);
    TrackLayout layout;
    long long silence = 0;
    for (std::size_t number = 1; number <= content.tracks.size(); ++number) {
        const CueTrack& track = content.tracks[number - 1];
        if (!track.start)
            throw TocSourceError("track " + std::to_string(number) + " has no INDEX 01");
        silence += track.pregap;
        const long long start = fileStarts[std::min(track.file, fileStarts.size() - 1)] + silence + *track.start;
        layout.tracks.push_back(SourceTrack{static_cast<int>(std::min<long long>(start, LAST_CD_FRAME)) +
                                                FIRST_TRACK_OFFSET,
                                            track.audio});
        silence += track.postgap;
    }
    const long long end = frames.empty() ? layout.tracks.back().frameOffset - FIRST_TRACK_OFFSET +
                                               framesOf(lengths.given.back())
                                         : fileStarts.back() + frames.back() + silence;
    layout.leadOut = static_cast<int>(std::min<long long>(end, LAST_CD_FRAME + 1)) + FIRST_TRACK_OFFSET;
    return layout;
}

} // namespace Vantrel
