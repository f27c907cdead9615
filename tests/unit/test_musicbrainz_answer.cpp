#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "musicbrainz/MusicBrainzAnswer.h"

using namespace Vantrel;

// Real answers are read end to end; these are the rules real data lacks.
namespace {

// A release with a genre list, and one medium per entry of media.
std::string release(const std::string& id, const std::string& extra, const std::string& media) {
    return R"({"id":")" + id + R"(","title":"T )" + id + R"(","artist-credit":[{"name":"A","joinphrase":" feat. "},)"
           R"({"name":"B","joinphrase":""}])" + extra + R"(,"media":[)" + media + "]}";
}

// A medium holding the disc IDs given, with a hidden pregap track, a data
// track, and audio tracks of the lengths given (ms, or null).
std::string medium(const std::string& discs, const std::vector<std::string>& lengths) {
    std::string tracks;
    for (std::size_t i = 0; i < lengths.size(); ++i)
        tracks += std::string(i ? "," : "") + R"({"id":"t)" + std::to_string(i + 1) + R"(","position":)" +
                  std::to_string(i + 1) + R"(,"title":"S","length":)" + lengths[i] +
                  R"(,"recording":{"id":"r"},"artist-credit":[{"name":"X","joinphrase":""}]})";
    return R"({"discs":[)" + discs + R"(],"pregap":{"id":"p","title":"Hidden"},"data-tracks":[{"id":"d"}],"tracks":[)" +
           tracks + "]}";
}

std::vector<std::string> summary(const std::vector<Disc>& discs) {
    std::vector<std::string> lines;
    for (const Disc& disc : discs) {
        const ReleaseDetails& release = *disc.getRelease();
        std::string line = release.releaseId + "|" + disc.getArtist() + "|" + disc.getTitle() + "|" +
                           std::to_string(disc.getYear()) + "|" + disc.getGenre() + "|" + release.discId + "|" +
                           std::to_string(release.discNumber) + "/" + std::to_string(release.discTotal) + "|" +
                           std::to_string(release.lengthsOffByMilliseconds.value_or(0));
        for (const Track& track : disc.getTracks())
            line += "|" + std::to_string(track.getTrackNo()) + ":" + track.getIds().releaseTrackId + ":" +
                    std::to_string(track.getLength());
        lines.push_back(line);
    }
    return lines;
}

const std::string GENRES = R"(,"date":"1999-05","genres":[{"name":"a","count":1},{"name":"b","count":3},)"
                           R"({"name":"c","count":3}])";
const std::string GROUP_GENRES = R"(,"date":"","genres":[],"release-group":{"genres":[{"name":"g","count":1}]})";

} // namespace

TEST(MusicBrainzAnswer, MediaAreChosenByDiscIdByNearLengthsOrAll) {
    const std::string mine = R"({"id":"D"})", other = R"({"id":"E"})";
    const std::string releases =
        release("1", GENRES, medium(other, {"1000"}) + "," + medium(mine + "," + other, {"1999", "null"})) + "," +
        release("2", GROUP_GENRES, medium(mine, {"60000"}));

    EXPECT_EQ(summary(discsOfDiscIdAnswer(R"({"id":"D","releases":[)" + releases + "]}", "D", {}).discs),
              (std::vector<std::string>{"1|A feat. B|T 1|1999|b|D|2/2|0|1:t1:1|2:t2:0",
                                        "2|A feat. B|T 2|0|g|D|1/1|0|1:t1:60"}));
    // By lengths: each track within 10 s of its file, nearest first; a
    // track of unknown length is never near.
    const DiscIdAnswer near = discsOfDiscIdAnswer(
        R"({"release-count":7,"releases":[)" + releases + "," + release("3", "", medium("", {"11000"})) + "]}", "D",
        {10000});
    EXPECT_EQ(summary(near.discs), (std::vector<std::string>{"3|A feat. B|T 3|0|||1/1|1000|1:t1:11",
                                                             "1|A feat. B|T 1|1999|b||1/2|9000|1:t1:1"}));
    EXPECT_EQ(std::make_pair(near.releasesKnown, near.releasesSent), std::make_pair(7ULL, std::size_t{3}));
    EXPECT_TRUE(discsOfDiscIdAnswer(R"({"release-count":2,"releases":[)" + releases + "]}", "D", {1999, 0}).discs.empty());
    // A medium without tracks is no disc.
    EXPECT_EQ(summary(discsOfReleaseAnswer(release("3", "", medium("", {"5000"}) + "," + medium("", {})))),
              std::vector<std::string>{"3|A feat. B|T 3|0|||1/2|0|1:t1:5"});
}

// What the real answers lack: an original date, secondary types, labels
// missing or repeated, a track without its own credit.
TEST(MusicBrainzAnswer, TheReleaseDescribesEachMedium) {
    const std::vector<Disc> discs = discsOfReleaseAnswer(
        R"({"release-group":{"first-release-date":"1998-07","primary-type":"Album","secondary-types":["Live"]},)"
        R"("label-info":[{"label":{"name":"L"},"catalog-number":"C1"},{"label":null,"catalog-number":"C2"},)"
        R"({"label":{"name":"L"}}],"artist-credit":[{"artist":{"id":"a1"}},{"artist":{"id":"a2"}}],"date":"2003-3",)"
        R"("media":[{"tracks":[{"artist-credit":[{"name":"X","artist":{"id":"x"}}]},{}]}]})");
    const ReleaseDetails& release = *discs.at(0).getRelease();
    EXPECT_EQ(std::vector<std::string>({release.originalDate, release.date}), std::vector<std::string>({"1998-07", ""}));
    EXPECT_EQ(release.types, std::vector<std::string>({"album", "live"}));
    EXPECT_EQ(release.labels, std::vector<std::string>{"L"});
    EXPECT_EQ(release.catalogNumbers, std::vector<std::string>({"C1", "C2"}));
    EXPECT_EQ(discs[0].getTracks()[0].getIds().artistIds, std::vector<std::string>{"x"});
    EXPECT_EQ(discs[0].getTracks()[1].getIds().artistIds, std::vector<std::string>({"a1", "a2"}));
}

TEST(MusicBrainzAnswer, AnythingElseIsAFormatError) {
    for (const char* answer : {"", "<html>", "[]", "{}", R"({"releases":{}})", R"({"releases":[{"title":"no media"}]})",
                               R"({"release-count":1,"releases":[{"media":[{"tracks":[{"title":5,"length":0}]}]}]})",
                               R"({"release-count":"many","releases":[]})"})
        EXPECT_THROW(discsOfDiscIdAnswer(answer, "D", {1}), AnswerFormatError) << answer;
    // Numbers are checked before they are converted.
    for (const char* track : {R"({"length":1e300})", R"({"position":-1e300})", R"({"length":-1})",
                              R"({"position":1.5})", R"({"length":4294967296})"})
        EXPECT_THROW(discsOfReleaseAnswer(R"({"media":[{"tracks":[)" + std::string(track) + "]}]}"), AnswerValueError)
            << track;
    EXPECT_THROW(discsOfReleaseAnswer(R"({"genres":[{"count":1e300}],"media":[{"tracks":[{}]}]})"), AnswerValueError);
    EXPECT_EQ(errorOfAnswer(R"({"error":"Invalid TOC","help":"x"})"), "Invalid TOC");
    EXPECT_EQ(errorOfAnswer("<html>"), "");
}
