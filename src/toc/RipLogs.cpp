#include "toc/RipLogs.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "toc/SourceText.h"
#include "toc/TocSourceError.h"

namespace Vantrel {

namespace {

// A track's sectors as rippers print them: from 0 at the end of the lead-in,
// the last one included.
struct SectorRange {
    int first = 0;
    int last = 0;
    bool data = false;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::istringstream stream(text);
    for (std::string field; std::getline(stream, field, separator);)
        fields.push_back(field);
    return fields;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> result;
    for (std::string word; stream >> word;)
        result.push_back(word);
    return result;
}

// Logs mark no data track, but an enhanced CD's starts a whole session gap
// after the audio ends, which no audio track ever does.
TrackLayout layoutOf(std::vector<SectorRange> ranges) {
    if (ranges.empty())
        throw TocSourceError("it lists no tracks");
    // A sector outside the disc would overflow the sums below.
    for (const SectorRange& range : ranges)
        if (range.first < 0 || range.last < 0 || range.first > LAST_CD_FRAME || range.last > LAST_CD_FRAME)
            throw TocSourceError("a track lies outside the disc");
    if (ranges.size() >= 2) {
        SectorRange& last = ranges.back();
        if (last.first - ranges[ranges.size() - 2].last - 1 >= SESSION_GAP_FRAMES)
            last.data = true;
    }
    TrackLayout layout;
    for (const SectorRange& range : ranges)
        layout.tracks.push_back(SourceTrack{range.first + FIRST_TRACK_OFFSET, !range.data});
    layout.leadOut = ranges.back().last + 1 + FIRST_TRACK_OFFSET;
    return layout;
}

// "  3  |  9:39.36 |  3:50.29 |     43461    |    60739", or "DATA" for the
// number; a time stamp "00:00:00.085 " may come first.
std::optional<SectorRange> tableRowOf(std::string line) {
    if (line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == ' ')
        line.erase(0, 13);
    const std::vector<std::string> fields = split(line, '|');
    if (fields.size() != 5)
        return std::nullopt;
    const std::string label = trimmed(fields[0]);
    if (!(isNumber(label) || label == "DATA") || !isNumber(fields[3]) || !isNumber(fields[4]))
        return std::nullopt;
    return SectorRange{numberOf(fields[3]), numberOf(fields[4]), label == "DATA"};
}

YAML::Node whipperTocOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    try {
        const YAML::Node toc = YAML::Load(text)["TOC"];
        if (!toc.IsMap())
            throw TocSourceError("it has no TOC section");
        return toc;
    } catch (const YAML::Exception& error) {
        throw TocSourceError(std::string("it is not YAML: ") + error.what());
    }
}

// The line's text after "Label:", or nothing when it is not such a line.
std::optional<std::string> valueAfter(const std::string& line, const std::string& label) {
    const std::string text = trimmed(line);
    if (!startsWith(text, label))
        return std::nullopt;
    return trimmed(text.substr(label.size()));
}

// The AccurateRip disc ID "[DiscID: 013-00198e85-01070699-ba11560e-1]":
// the number of audio tracks, the sum of their starts and the disc's
// lead-out (sectors), another sum, and the CDDB disc ID.
struct AccurateRipId {
    int audioTracks = 0;
    long long startsAndLeadOut = 0;
    unsigned long cddbId = 0;
};

std::optional<AccurateRipId> accurateRipIdIn(const std::vector<std::string>& lines) {
    const std::string marker = "[DiscID: ";
    for (const std::string& line : lines) {
        const std::size_t at = line.find(marker);
        if (at == std::string::npos)
            continue;
        const std::vector<std::string> parts = split(line.substr(at + marker.size()), '-');
        const auto hex = [](const std::string& text) {
            return text.size() == 8 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        };
        if (parts.size() < 4 || !isNumber(parts[0]) || !hex(parts[1]) || !hex(parts[3]))
            throw TocSourceError("its AccurateRip disc ID cannot be read");
        return AccurateRipId{numberOf(parts[0]), std::stoll(parts[1], nullptr, 16), std::stoul(parts[3], nullptr, 16)};
    }
    return std::nullopt;
}

} // namespace

std::optional<TrackLayout> tocTableLayoutOf(const std::vector<std::string>& lines) {
    std::vector<SectorRange> rows;
    for (const std::string& line : lines) {
        const std::optional<SectorRange> row = tableRowOf(line);
        if (row)
            rows.push_back(*row);
        else if (!rows.empty())
            break;
    }
    if (rows.empty())
        return std::nullopt;
    return layoutOf(rows);
}

std::optional<TrackLayout> whipperLayoutOf(const std::vector<std::string>& lines) {
    if (lines.empty() || !startsWith(lines.front(), "Log created by: whipper"))
        return std::nullopt;
    std::map<int, SectorRange> tracks;
    try {
        for (const auto& track : whipperTocOf(lines))
            tracks[track.first.as<int>()] =
                SectorRange{track.second["Start sector"].as<int>(), track.second["End sector"].as<int>()};
    } catch (const YAML::Exception& error) {
        throw TocSourceError(std::string("its TOC section cannot be read: ") + error.what());
    }
    std::vector<SectorRange> ranges;
    for (const auto& track : tracks)
        ranges.push_back(track.second);
    return layoutOf(ranges);
}

std::optional<TrackLayout> cyanripLayoutOf(const std::vector<std::string>& lines) {
    if (lines.empty() || !startsWith(lines.front(), "cyanrip "))
        return std::nullopt;
    std::optional<int> discTracks;
    std::vector<SectorRange> ranges;
    for (const std::string& line : lines) {
        if (const std::optional<std::string> count = valueAfter(line, "Disc tracks:"))
            discTracks = numberOf(*count);
        else if (const std::optional<std::string> start = valueAfter(line, "Start LSN:"))
            ranges.push_back(SectorRange{numberOf(*start), -1});
        else if (const std::optional<std::string> end = valueAfter(line, "End LSN:")) {
            // "233754 (with offset: 233755)": the first is the disc's.
            if (ranges.empty() || ranges.back().last != -1)
                throw TocSourceError("an end LSN comes before its start");
            const std::vector<std::string> numbers = words(*end);
            ranges.back().last = numberOf(numbers.empty() ? std::string() : numbers.front());
        }
    }
    if (std::any_of(ranges.begin(), ranges.end(), [](const SectorRange& range) { return range.last == -1; }))
        throw TocSourceError("a track has no end LSN");
    if (discTracks && static_cast<std::size_t>(*discTracks) != ranges.size())
        throw TocSourceError("it does not list every track of the disc");
    return layoutOf(ranges);
}

std::optional<TrackLayout> dBpowerampLayoutOf(const std::vector<std::string>& lines) {
    const std::string marker = "Ripped LBA ";
    std::vector<SectorRange> ranges;
    for (const std::string& line : lines) {
        const std::size_t at = line.find(marker);
        if (!startsWith(line, "Track ") || at == std::string::npos)
            continue;
        const std::vector<std::string> range = words(line.substr(at + marker.size()));
        if (range.size() < 3 || range[1] != "to")
            throw TocSourceError("a track's sectors cannot be read: " + line);
        ranges.push_back(SectorRange{numberOf(range[0]), numberOf(range[2]) - 1});
    }
    if (ranges.empty())
        return std::nullopt;
    TrackLayout layout = layoutOf(ranges);
    const std::optional<AccurateRipId> id = accurateRipIdIn(lines);
    if (!id)
        return layout;
    if (static_cast<std::size_t>(id->audioTracks) != ranges.size())
        throw TocSourceError("it does not list every track of the disc");
    if ((id->cddbId & 0xff) == ranges.size() + 1) {
        long long leadOut = id->startsAndLeadOut;
        for (const SectorRange& range : ranges)
            leadOut -= range.first;
        const int dataStart = layout.leadOut + SESSION_GAP_FRAMES;
        if (leadOut + FIRST_TRACK_OFFSET <= dataStart || leadOut > LAST_CD_FRAME)
            throw TocSourceError("its AccurateRip disc ID does not fit its tracks");
        layout.tracks.push_back(SourceTrack{dataStart, false});
        layout.leadOut = static_cast<int>(leadOut) + FIRST_TRACK_OFFSET;
    }
    return layout;
}

} // namespace Vantrel
