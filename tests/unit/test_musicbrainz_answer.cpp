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
        std::string line = disc.getReleaseId() + "|" + disc.getArtist() + "|" + disc.getTitle() + "|" +
                           std::to_string(disc.getYear()) + "|" + disc.getGenre() + "|" + disc.getMusicBrainzDiscId();
        for (const Track& track : disc.getTracks())
            line += "|" + std::to_string(track.getTrackNo()) + ":" + track.getReleaseTrackId() + ":" +
                    std::to_string(track.getLength());
        lines.push_back(line);
    }
    return lines;
}

const std::string GENRES = R"(,"date":"1999-05","genres":[{"name":"a","count":1},{"name":"b","count":3},)"
                           R"({"name":"c","count":3}])";
const std::string GROUP_GENRES = R"(,"date":"","genres":[],"release-group":{"genres":[{"name":"g","count":1}]})";

} // namespace

TEST(MusicBrainzAnswer, MediaAreChosenByDiscIdByTrackCountOrAll) {
    const std::string mine = R"({"id":"D"})", other = R"({"id":"E"})";
    const std::string releases =
        release("1", GENRES, medium(other, {"1000"}) + "," + medium(mine + "," + other, {"1999", "null"})) + "," +
        release("2", GROUP_GENRES, medium(mine, {"60000"}));

    EXPECT_EQ(summary(discsOfDiscIdAnswer(R"({"id":"D","releases":[)" + releases + "]}", "D", 9)),
              (std::vector<std::string>{"1|A feat. B|T 1|1999|b|D|1:t1:1|2:t2:0", "2|A feat. B|T 2|0|g|D|1:t1:60"}));
    EXPECT_EQ(summary(discsOfDiscIdAnswer(R"({"release-count":2,"releases":[)" + releases + "]}", "D", 2)),
              std::vector<std::string>{"1|A feat. B|T 1|1999|b||1:t1:1|2:t2:0"});
    EXPECT_EQ(summary(discsOfReleaseAnswer(release("3", "", medium("", {"5000"}) + "," + medium("", {})))),
              (std::vector<std::string>{"3|A feat. B|T 3|0|||1:t1:5", "3|A feat. B|T 3|0||"}));
}

TEST(MusicBrainzAnswer, AnythingElseIsAFormatError) {
    for (const char* answer : {"", "<html>", "[]", "{}", R"({"releases":{}})", R"({"releases":[{"title":"no media"}]})",
                               R"({"release-count":1,"releases":[{"media":[{"tracks":[{"title":5}]}]}]})"})
        EXPECT_THROW(discsOfDiscIdAnswer(answer, "D", 1), AnswerFormatError) << answer;
    EXPECT_EQ(errorOfAnswer(R"({"error":"Invalid TOC","help":"x"})"), "Invalid TOC");
    EXPECT_EQ(errorOfAnswer("<html>"), "");
}
