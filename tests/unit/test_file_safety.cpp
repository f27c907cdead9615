#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "TestAudio.h"
#include "files/naming/SafeRename.h"
#include "files/saving/SafeSave.h"

using namespace Vantrel;
namespace fs = std::filesystem;

// Renaming is checked end to end; this covers the fallback that only file
// systems without the no-replace flag reach. Both ways of moving a file
// refuse every kind of existing target.
class NoReplaceMove : public ::testing::TestWithParam<void (*)(const std::string&, const std::string&)> {};

TEST_P(NoReplaceMove, MovesOnlyOntoAFreeName) {
    // The errno value of the move's failure, or 0.
    const auto move = [](const std::string& from, const std::string& to) {
        try {
            GetParam()(from, to);
            return 0;
        } catch (const std::system_error& error) {
            return error.code().value();
        }
    };
    TemporaryFolder dir;
    std::ofstream(dir.path("a")) << "audio";
    std::ofstream(dir.path("taken")) << "other file";
    fs::create_directory(dir.path("folder"));
    fs::create_symlink(dir.path("nowhere"), dir.path("dangling"));

    for (const char* target : {"taken", "folder", "dangling"})
        EXPECT_EQ(move(dir.path("a"), dir.path(target)), EEXIST) << target;
    EXPECT_EQ(move(dir.path("missing"), dir.path("free")), ENOENT);
    EXPECT_TRUE(fs::exists(dir.path("a")) && fs::is_directory(dir.path("folder")) && fs::is_symlink(dir.path("dangling")));
    EXPECT_EQ(fs::file_size(dir.path("taken")), 10u);

    EXPECT_EQ(move(dir.path("a"), dir.path("free")), 0);
    EXPECT_FALSE(fs::exists(dir.path("a")));
    EXPECT_EQ(fs::file_size(dir.path("free")), 5u);
}

INSTANTIATE_TEST_SUITE_P(RenameAndLinkFallback, NoReplaceMove, ::testing::Values(&renameNoReplace, &moveByLink));

// Another program that rewrites the file while it is being saved (here from
// within the edit, after the copy was made) makes the save start over from
// its content, so that neither write is lost; one that never stops makes the
// save give up after a few tries and leave the file as that program left it.
TEST(SafeSave, AFileChangedDuringTheSaveStartsOverAndNoWriteIsLost) {
    TemporaryFolder folder;
    const std::string path = writeWav(folder.path("3.wav"), 3 * 75, 75);
    const auto otherProgramSetsComment = [&path](const std::string& comment) {
        TagLib::FileRef other(path.c_str(), false);
        other.tag()->setComment(comment);
        other.save();
    };
    int edits = 0;
    const SaveOutcome once = saveInPlace(path, [&](TagLib::FileRef& copy) {
        if (edits++ == 0)
            otherProgramSetsComment("kept");
        copy.tag()->setTitle("New");
    });
    EXPECT_EQ(once.result, SaveOutcome::SAVED) << once.problem;
    EXPECT_EQ(edits, 2);
    const TagLib::FileRef saved(path.c_str(), false);
    EXPECT_EQ(saved.tag()->title(), "New");
    EXPECT_EQ(saved.tag()->comment(), "kept");

    const SaveOutcome never = saveInPlace(path, [&](TagLib::FileRef& copy) {
        otherProgramSetsComment(std::string(++edits, 'x'));
        copy.tag()->setTitle("Lost");
    });
    EXPECT_EQ(never.result, SaveOutcome::FAILED);
    EXPECT_EQ(never.problem, "the file kept changing while it was being saved");
    EXPECT_EQ(TagLib::FileRef(path.c_str(), false).tag()->title(), "New");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")), {}), 1);
}
