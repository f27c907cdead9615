#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "TestAudio.h"
#include "files/FileDisc.h"
#include "files/SafeSave.h"

using namespace Vantrel;

// The fields written, read back by an independent reader, and the stripping
// of MP3 tags are checked end to end.

namespace {

// Track n (from 1) of length s is named "Ts" and an escape character.
Disc discOfLengths(const std::vector<unsigned int>& lengths) {
    Disc disc("Album", "Disc Artist", "Rock", 1999);
    unsigned int number = 1;
    for (unsigned int length : lengths) {
        disc.appendTrack(Track("T" + std::to_string(length) + "\x1b", "Artist " + std::to_string(number), length, number));
        ++number;
    }
    return disc;
}

// The title a fresh reading of the file finds; empty when it has none.
std::string titleOf(const std::string& path) {
    const TagLib::FileRef file(path.c_str(), false);
    return file.isNull() || file.tag() == nullptr ? "<unreadable>" : file.tag()->title().to8Bit(true);
}

} // namespace

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
    EXPECT_EQ(titleOf(paths[0]), "T50\x1b");
    EXPECT_EQ(titleOf(paths[1]), "T40\x1b");
    EXPECT_EQ(titleOf(paths[2]), "");

    FileDisc twoFiles({paths[0], paths[1]});
    testing::internal::CaptureStdout();
    twoFiles.tagByOrder(discOfLengths({1, 2, 3}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "1: File " + paths[0] + " [Tag Saved]\n2: File " + paths[1] + " [Tag Saved]\n");
    EXPECT_EQ(titleOf(paths[1]), "T2\x1b");
}

// A file the set could not open has no length: the offsets and best fit stop
// before any file is changed.
TEST(Lengths, AFileWithoutPropertiesStopsBeforeAnyChange) {
    TemporaryFolder folder;
    const std::vector<std::string> paths = filesOfSeconds(folder, {10});
    FileDisc fileDisc({paths[0], folder.path("missing.wav")});
    try {
        fileDisc.generateOffsets(150);
        ADD_FAILURE() << "no exception";
    } catch (const TagException& error) {
        EXPECT_STREQ(error.what(), "File or audioProperties is NULL");
    }
    testing::internal::CaptureStdout();
    EXPECT_THROW(fileDisc.tagByBestFit(discOfLengths({10})), TagException);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(titleOf(paths[0]), "");
}

// Another program that rewrites the file while it is being saved (here from
// within the edit, after the copy was made) makes the save start over from
// its content, so that neither write is lost; one that never stops makes the
// save give up after a few tries and leave the file as that program left it.
TEST(SafeSave, AFileChangedDuringTheSaveStartsOverAndNoWriteIsLost) {
    TemporaryFolder folder;
    const std::string path = filesOfSeconds(folder, {3})[0];
    const auto otherProgramSetsComment = [&path](const std::string& comment) {
        TagLib::FileRef other(path.c_str(), false);
        other.tag()->setComment(comment);
        other.save();
    };
    int edits = 0;
    const SaveOutcome once = saveThroughCopy(path, [&](TagLib::FileRef& copy) {
        if (edits++ == 0)
            otherProgramSetsComment("kept");
        copy.tag()->setTitle("New");
    });
    EXPECT_TRUE(once.saved) << once.problem;
    EXPECT_EQ(edits, 2);
    const TagLib::FileRef saved(path.c_str(), false);
    EXPECT_EQ(saved.tag()->title(), "New");
    EXPECT_EQ(saved.tag()->comment(), "kept");

    const SaveOutcome never = saveThroughCopy(path, [&](TagLib::FileRef& copy) {
        otherProgramSetsComment(std::string(++edits, 'x'));
        copy.tag()->setTitle("Lost");
    });
    EXPECT_FALSE(never.saved);
    EXPECT_EQ(never.problem, "the file kept changing while it was being saved");
    EXPECT_EQ(titleOf(path), "New");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")), {}), 1);
}
