#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cddb/CDDBQuery.h"
#include "musicbrainz/DiscId.h"
#include "toc/TocSources.h"

using namespace Vantrel;

namespace {

const std::string DATA = std::string(VANTREL_TEST_DATA) + "/toc/";

std::vector<PlayingTime> timesOf(const std::vector<int>& frames) {
    std::vector<PlayingTime> times;
    for (const int count : frames)
        times.push_back(PlayingTime{Duration::of(static_cast<unsigned long long>(count), 75), Duration()});
    return times;
}

std::string cddbIdText(const TableOfContents& toc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", cddbDiscIdOf(toc));
    return text;
}

// The frames of the files of Surfer Rosa's four CUE sheets (tests/data/toc/README.md).
const std::vector<int> GAPS_IN_PREVIOUS = {13735, 9420, 8080, 6758, 17620, 11390, 17505, 10255, 8420, 8042, 22938,
                                           7657, 9068, 14575, 13027, 7600, 11250, 10088, 10290, 13557, 11888};

std::vector<int> withFirstFiles(std::vector<int> frames, const std::vector<int>& first) {
    std::copy(first.begin(), first.end(), frames.begin());
    return frames;
}

} // namespace

// Each real log and CUE sheet gives the disc identifiers that its disc has.
TEST(TocSources, RealLogsAndCueSheetsGiveTheirDiscsIdentifiers) {
    struct Case {
        const char* file;
        const char* cddbId;
        const char* musicBrainzId;
        std::vector<int> givenFrames;
        std::map<std::string, int> namedFrames;
    };
    const char* const SURFER_ROSA_CDDB = "350caa15";
    const char* const SURFER_ROSA_MB = "jXZURTMh34yONr8XfeMYZEkds3I-";
    const Case cases[] = {
        {"eac-datatrack.log", "780a2109", "G.iJky1mysTJeCT0RuhIwS5Ht60-", {}, {}},
        {"eac-utf32le.log", "5407c408", "C2svSeTdtJVtN7VQR__XwmEScU8-", {}, {}},
        {"eac-windows1251.log", "5407c408", "C2svSeTdtJVtN7VQR__XwmEScU8-", {}, {}},
        {"xld.log", "5407c408", "C2svSeTdtJVtN7VQR__XwmEScU8-", {}, {}},
        {"freac-datatrack.log", "ab0d9f0e", "yZtUmjo65LK.QZs0KuCF0UWHAEU-", {}, {}},
        {"whipper.log", "5407c408", "C2svSeTdtJVtN7VQR__XwmEScU8-", {}, {}},
        {"cyanrip.log", "140c2c02", "7rGk5fXmuE8VcWYpbwoobOZIcIE-", {}, {}},
        {"dbpoweramp-datatrack.txt", "ba11560e", "gVEn.Dsd3_rxvoZ7h73z7MUjgyE-", {}, {}},
        {"surferrosa.eac.noncompliant.cue", SURFER_ROSA_CDDB, SURFER_ROSA_MB, GAPS_IN_PREVIOUS, {}},
        {"surferrosa.eac.corrected.cue", SURFER_ROSA_CDDB, SURFER_ROSA_MB,
         withFirstFiles(GAPS_IN_PREVIOUS, {13767, 9375, 8125}), {}},
        {"surferrosa.eac.leftout.cue", SURFER_ROSA_CDDB, SURFER_ROSA_MB,
         withFirstFiles(GAPS_IN_PREVIOUS, {13735, 9375}), {}},
        // The image beside the sheet, then only the tagged files.
        {"surferrosa.eac.single.cue", SURFER_ROSA_CDDB, SURFER_ROSA_MB, {}, {{"Range.wav", 243195}}},
        {"surferrosa.eac.single.cue", SURFER_ROSA_CDDB, SURFER_ROSA_MB, GAPS_IN_PREVIOUS, {}},
    };
    for (const Case& c : cases) {
        const FileLengths lengths{[&c](const std::string& path) -> std::optional<PlayingTime> {
                                      EXPECT_EQ(path.rfind(DATA, 0), 0u) << path;
                                      const auto named = c.namedFrames.find(path.substr(path.rfind('/') + 1));
                                      if (named == c.namedFrames.end())
                                          return std::nullopt;
                                      return timesOf({named->second}).front();
                                  },
                                  timesOf(c.givenFrames)};
        const TableOfContents toc = readTocSource(DATA + c.file, lengths);
        EXPECT_EQ(cddbIdText(toc), c.cddbId) << c.file;
        EXPECT_EQ(musicBrainzDiscIdOf(toc).id, c.musicBrainzId) << c.file;
    }
}

// A file may be up to 3 s longer or shorter than its track; a data track
// needs no file, and only one after the audio makes an enhanced CD.
TEST(TocSources, WhatDescribesTheFilesAndWhatNoDiscHas) {
    const TableOfContents enhanced = tableOfContentsOf(TrackLayout{{{150, true}, {1200, true}, {14000, false}}, 15000});
    EXPECT_EQ(enhanced.leadOut, 14000 - SESSION_GAP_FRAMES);
    EXPECT_EQ(enhanced.allFrameOffsets(), (std::vector<int>{150, 1200, 14000}));
    EXPECT_TRUE(describesFiles(enhanced, timesOf({1050 + 225, 2600 - 1200 - 225})));
    EXPECT_FALSE(describesFiles(enhanced, timesOf({1050 + 226, 1400})));
    EXPECT_FALSE(describesFiles(enhanced, timesOf({1050, 1400, 1000})));
    // Exact: no nearby table of contents is tried.
    EXPECT_TRUE(nearbyTablesOfContents(enhanced, 16).empty());
    // A CUE sheet of the same rip that leaves the data track out agrees.
    EXPECT_TRUE(sameDisc(enhanced, tableOfContentsOf(TrackLayout{{{150, true}, {1200, true}}, 2600})));
    EXPECT_FALSE(sameDisc(enhanced, tableOfContentsOf(TrackLayout{{{150, true}, {1200, true}}, 2601})));

    EXPECT_THROW(tableOfContentsOf(TrackLayout{{{150, false}, {1200, true}}, 3000}), AnotherDiscError);
    EXPECT_THROW(tableOfContentsOf(TrackLayout{{{150, true}, {1200, false}, {2000, true}}, 3000}), TocSourceError);
    EXPECT_THROW(tableOfContentsOf(TrackLayout{{{150, true}, {1200, false}}, 3000}), TocSourceError);
    EXPECT_THROW(tableOfContentsOf(TrackLayout{{{150, true}, {150, true}}, 3000}), TocSourceError);
}
