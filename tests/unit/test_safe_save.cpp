#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "TestAudio.h"
#include "files/SafeSave.h"

using namespace Vantrel;

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
    EXPECT_EQ(TagLib::FileRef(path.c_str(), false).tag()->title(), "New");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")), {}), 1);
}
