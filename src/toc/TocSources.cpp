#include "toc/TocSources.h"

#include <algorithm>
#include <filesystem>

#include "disc/Text.h"
#include "toc/RipLogs.h"
#include "toc/SourceText.h"

namespace Vantrel {

namespace {

std::vector<std::string> filesOfKind(const std::filesystem::path& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end;
         !error && entry != end; entry.increment(error)) {
        if (lowerCase(entry->path().extension().string()) == extension && entry->is_regular_file(error))
            names.push_back(entry->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back(folder.empty() ? name : (folder / name).string());
    return paths;
}

Duration difference(const Duration& one, const Duration& other) {
    return one.ticks > other.ticks ? one.minus(other) : other.minus(one);
}

} // namespace

TableOfContents tableOfContentsOf(const TrackLayout& layout) {
    const std::vector<SourceTrack>& tracks = layout.tracks;
    if (!tracks.empty() && !tracks.front().audio)
        throw AnotherDiscError("a data track comes before its audio");
    const auto firstData =
        std::find_if(tracks.begin(), tracks.end(), [](const SourceTrack& track) { return !track.audio; });
    if (firstData != tracks.end() && firstData + 1 != tracks.end())
        throw TocSourceError("a data track is not the last track");
    std::vector<int> offsets;
    for (auto track = tracks.begin(); track != firstData; ++track)
        offsets.push_back(track->frameOffset);
    try {
        if (firstData == tracks.end())
            return exactTableOfContents(offsets, layout.leadOut);
        return exactTableOfContents(offsets, firstData->frameOffset - SESSION_GAP_FRAMES,
                                    DataTrack{firstData->frameOffset, layout.leadOut});
    } catch (const std::range_error& error) {
        throw TocSourceError(error.what());
    }
}

TableOfContents readTocSource(const std::string& path, const FileLengths& lengths) {
    const std::vector<std::string> lines = linesOfSource(path);
    std::optional<TrackLayout> layout =
        cueSheetLayoutOf(lines, std::filesystem::path(path).parent_path().string(), lengths);
    for (const auto reader : {whipperLayoutOf, cyanripLayoutOf, dBpowerampLayoutOf, tocTableLayoutOf})
        if (!layout)
            layout = reader(lines);
    if (!layout)
        throw TocSourceError("it is neither a rip log nor a CUE sheet");
    return tableOfContentsOf(*layout);
}

std::vector<std::string> tocSourcesBeside(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::vector<std::string> sources = filesOfKind(folder, ".log");
    for (std::string& sheet : filesOfKind(folder, ".cue"))
        sources.push_back(std::move(sheet));
    return sources;
}

bool describesFiles(const TableOfContents& toc, const std::vector<PlayingTime>& files) {
    if (toc.times.size() != files.size())
        return false;
    for (std::size_t track = 0; track < files.size(); ++track)
        if (difference(toc.times[track].length, files[track].length).ticks > MAX_PREGAP_DIFFERENCE.ticks)
            return false;
    return true;
}

bool sameDisc(const TableOfContents& one, const TableOfContents& other) {
    const bool dataTracksAgree = !one.dataTrack || !other.dataTrack ||
                                 (one.dataTrack->frameOffset == other.dataTrack->frameOffset &&
                                  one.dataTrack->leadOut == other.dataTrack->leadOut);
    return one.frameOffsets == other.frameOffsets && one.leadOut == other.leadOut && dataTracksAgree;
}

} // namespace Vantrel
