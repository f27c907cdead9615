#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "TestAudio.h"
#include "files/naming/SafeRename.h"
#include "common/Descriptor.h"
#include "files/saving/InPlaceWrite.h"
#include "files/saving/Journal.h"
#include "files/saving/OverlayStream.h"
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
    FolderSyncs later;
    const SaveOutcome once = saveInPlace(path, [&](TagLib::FileRef& copy) {
        if (edits++ == 0)
            otherProgramSetsComment("kept");
        copy.tag()->setTitle("New");
    }, later);
    EXPECT_EQ(once.result, SaveOutcome::SAVED) << once.problem;
    EXPECT_EQ(edits, 2);
    const TagLib::FileRef saved(path.c_str(), false);
    EXPECT_EQ(saved.tag()->title(), "New");
    EXPECT_EQ(saved.tag()->comment(), "kept");

    const SaveOutcome never = saveInPlace(path, [&](TagLib::FileRef& copy) {
        otherProgramSetsComment(std::string(++edits, 'x'));
        copy.tag()->setTitle("Lost");
    }, later);
    EXPECT_EQ(never.result, SaveOutcome::FAILED);
    EXPECT_EQ(never.problem, "the file kept changing while it was being saved");
    EXPECT_EQ(TagLib::FileRef(path.c_str(), false).tag()->title(), "New");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")), {}), 1);
}

namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

// Random edits, as TagLib makes them, recorded by the overlay and written in
// place under a journal give the file the bytes the same edits give a string;
// the journal's rollback gives the old bytes back, however the edits moved them.
TEST(InPlaceSave, EditsWrittenInPlaceAndRolledBackGiveTheNewThenTheOldBytes) {
    TemporaryFolder folder;
    const std::string path = folder.path("file");
    std::mt19937 random(18);
    const auto number = [&random](long most) { return std::uniform_int_distribution<long>(0, most)(random); };
    const auto bytes = [&](long count) {
        TagLib::ByteVector data(static_cast<unsigned int>(count));
        for (char& byte : data)
            byte = static_cast<char>('a' + number(2));
        return data;
    };
    for (int round = 0; round < 60; ++round) {
        const TagLib::ByteVector old = bytes(number(20000));
        std::ofstream(path, std::ios::binary).write(old.data(), old.size());
        const Descriptor file(open(path.c_str(), O_RDWR));
        OverlayStream overlay(file.get(), path);
        std::string model(old.data(), old.size());
        for (int edit = 0; edit < 4; ++edit) {
            const long at = number(static_cast<long>(model.size()));
            const long count = number(6000);
            const TagLib::ByteVector data = bytes(count);
            switch (number(3)) {
            case 0: {
                // Now and then past the end, which a file fills with zeros.
                const long from = number(4) == 0 ? static_cast<long>(model.size()) + number(100) : at;
                overlay.seek(from);
                overlay.writeBlock(data);
                model.resize(std::max(model.size(), static_cast<std::size_t>(from + count)));
                model.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(count), data.data(),
                              data.size());
                break;
            }
            case 1:
                overlay.insert(data, static_cast<unsigned long>(at), static_cast<unsigned long>(count / 2));
                model.replace(static_cast<std::size_t>(at), static_cast<std::size_t>(count / 2), data.data(), data.size());
                break;
            case 2:
                overlay.removeBlock(static_cast<unsigned long>(at), static_cast<unsigned long>(count));
                model.erase(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
                break;
            default:
                overlay.truncate(at);
                model.resize(static_cast<std::size_t>(at));
            }
        }
        std::string prepared(static_cast<std::size_t>(overlay.length()), '\0');
        ASSERT_TRUE(overlay.readAt(0, &prepared[0], overlay.length()));
        ASSERT_EQ(prepared, model) << round;
        ASSERT_EQ(contentsOf(path), std::string(old.data(), old.size())) << round;

        struct stat status;
        fstat(file.get(), &status);
        const Changes changes = changesBetween(overlay.layout(), file.get(), static_cast<long>(old.size()));
        Journal journal(folder.path(""), "file", file.get(), status, changes.kept);
        writeInPlace(overlay.layout(), changes, journal, file.get());
        ASSERT_EQ(contentsOf(path), model) << round;
        journal.rollBack();
        ASSERT_EQ(contentsOf(path), std::string(old.data(), old.size())) << round;
        ASSERT_EQ(std::distance(fs::directory_iterator(folder.path("")), {}), 1);
    }
}
