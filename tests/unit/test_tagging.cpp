#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "TestAudio.h"
#include "files/FileDisc.h"

using namespace Vantrel;

namespace {

// Files of whole seconds, at 75 samples per second.
std::vector<std::string> filesOfSeconds(const TemporaryFolder& folder, const std::vector<std::uint32_t>& seconds) {
    std::vector<std::string> paths;
    for (std::uint32_t length : seconds)
        paths.push_back(writeWav(folder.path(std::to_string(paths.size() + 1) + ".wav"), length * 75, 75));
    return paths;
}

Disc discOfLengths(const std::vector<unsigned int>& lengths) {
    Disc disc("Album", "Disc Artist", "Rock", 1999);
    unsigned int number = 1;
    for (unsigned int length : lengths) {
        disc.appendTrack(Track("T" + std::to_string(length), "Artist " + std::to_string(number), length, number));
        ++number;
    }
    return disc;
}

// The title a fresh reading of the file finds; empty when it has none.
std::string titleOf(const std::string& path) {
    const TagLib::FileRef file(path.c_str(), false);
    return file.isNull() || file.tag() == nullptr ? "<unreadable>" : file.tag()->title().to8Bit(true);
}

using Pair = std::pair<TagLib::FileRef, unsigned int>;

} // namespace

TEST(DiffFromX, ComparesDistancesOnBothSides) {
    const DiffFromX near200(200);
    const TagLib::FileRef none;
    EXPECT_TRUE(near200(Pair(none, 150), Pair(none, 260)));
    EXPECT_FALSE(near200(Pair(none, 260), Pair(none, 150)));
    EXPECT_TRUE(near200(Pair(none, 250), Pair(none, 140)));
    // Equally near is not nearer, either way round.
    EXPECT_FALSE(near200(Pair(none, 190), Pair(none, 210)));
    EXPECT_FALSE(near200(Pair(none, 210), Pair(none, 190)));
    EXPECT_TRUE(DiffFromX(0)(Pair(none, 0), Pair(none, 1)));
}

TEST(BestFit, EachTrackTakesTheNearestRemainingFile) {
    TemporaryFolder folder;
    const std::vector<std::string> paths = filesOfSeconds(folder, {300, 200});
    FileDisc fileDisc(paths);
    testing::internal::CaptureStdout();
    fileDisc.tagByBestFit(discOfLengths({200, 300}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1: File " + paths[1] + " matches T200 [Tag Saved]\n" +
                                                          "2: File " + paths[0] + " matches T300 [Tag Saved]\n");
    EXPECT_EQ(titleOf(paths[0]), "T300");
    EXPECT_EQ(titleOf(paths[1]), "T200");
}

TEST(BestFit, TiesGoEarlierAndNoFileIsTakenTwice) {
    TemporaryFolder folder;
    // Track 150 is as near to file 1 (100 s) as to file 3 (200 s) and takes
    // file 1; track 101 is nearest to file 1 too but has to take file 3.
    const std::vector<std::string> paths = filesOfSeconds(folder, {100, 400, 200});
    FileDisc fileDisc(paths);
    testing::internal::CaptureStdout();
    fileDisc.tagByBestFit(discOfLengths({150, 101}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1: File " + paths[0] + " matches T150 [Tag Saved]\n" +
                                                          "2: File " + paths[2] + " matches T101 [Tag Saved]\n");
    EXPECT_EQ(titleOf(paths[0]), "T150");
    EXPECT_EQ(titleOf(paths[2]), "T101");
    EXPECT_EQ(titleOf(paths[1]), "");
}

TEST(BestFit, MoreTracksThanFilesLeavesTheRestOver) {
    TemporaryFolder folder;
    const std::vector<std::string> paths = filesOfSeconds(folder, {60});
    FileDisc fileDisc(paths);
    testing::internal::CaptureStdout();
    fileDisc.tagByBestFit(discOfLengths({10, 61, 62}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1: File " + paths[0] + " matches T10 [Tag Saved]\n");
    EXPECT_EQ(titleOf(paths[0]), "T10");
}

TEST(BestFit, AFileWithoutPropertiesStopsBeforeAnyChange) {
    TemporaryFolder folder;
    const std::vector<std::string> paths = filesOfSeconds(folder, {10});
    FileDisc fileDisc({paths[0], folder.path("missing.wav")});
    testing::internal::CaptureStdout();
    EXPECT_THROW(fileDisc.tagByBestFit(discOfLengths({10})), TagException);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(titleOf(paths[0]), "");
}

TEST(ByOrder, PairsFilesAndTracksUntilEitherRunsOut) {
    TemporaryFolder folder;
    const std::vector<std::string> paths = filesOfSeconds(folder, {5, 6, 7});
    {
        FileDisc fileDisc(paths);
        testing::internal::CaptureStdout();
        fileDisc.tagByOrder(discOfLengths({50, 40}));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "1: File " + paths[0] + " [Tag Saved]\n2: File " + paths[1] + " [Tag Saved]\n");
    }
    EXPECT_EQ(titleOf(paths[0]), "T50");
    EXPECT_EQ(titleOf(paths[1]), "T40");
    EXPECT_EQ(titleOf(paths[2]), "");

    FileDisc twoFiles({paths[0], paths[1]});
    testing::internal::CaptureStdout();
    twoFiles.tagByOrder(discOfLengths({1, 2, 3}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "1: File " + paths[0] + " [Tag Saved]\n2: File " + paths[1] + " [Tag Saved]\n");
    EXPECT_EQ(titleOf(paths[1]), "T2");
}

TEST(SetTag, WritesSixFieldsWithTheTracksArtist) {
    TemporaryFolder folder;
    const std::string path = writeWav(folder.path("a.wav"), 75, 75);
    {
        FileDisc fileDisc({path});
        Disc disc("Ålbum ☺", "Disc Artist", "Jazz", 2001);
        disc.appendTrack(Track("Tïtle", "Track Ärtist", 1, 7));
        testing::internal::CaptureStdout();
        fileDisc.tagByOrder(disc);
        testing::internal::GetCapturedStdout();
    }
    const TagLib::FileRef file(path.c_str(), false);
    ASSERT_FALSE(file.isNull());
    const TagLib::Tag& tag = *file.tag();
    EXPECT_EQ(tag.title().to8Bit(true), "Tïtle");
    EXPECT_EQ(tag.artist().to8Bit(true), "Track Ärtist");
    EXPECT_EQ(tag.album().to8Bit(true), "Ålbum ☺");
    EXPECT_EQ(tag.genre().to8Bit(true), "Jazz");
    EXPECT_EQ(tag.year(), 2001u);
    EXPECT_EQ(tag.track(), 7u);
}
