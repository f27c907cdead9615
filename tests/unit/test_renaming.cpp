#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestAudio.h"
#include "files/FileDisc.h"
#include "files/SafeRename.h"

using namespace Vantrel;
namespace fs = std::filesystem;

// Names made from templates and the rules that keep every file are checked
// end to end; these cover what the command line cannot reach.

namespace {

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

} // namespace

// Both ways of moving a file must refuse every kind of existing target.
class NoReplaceMove : public ::testing::TestWithParam<int (*)(const std::string&, const std::string&)> {};

TEST_P(NoReplaceMove, MovesOnlyOntoAFreeName) {
    const auto move = GetParam();
    TemporaryFolder dir;
    writeFile(dir.path("a"), "audio");
    writeFile(dir.path("taken"), "other");
    fs::create_directory(dir.path("folder"));
    fs::create_symlink(dir.path("nowhere"), dir.path("dangling"));

    EXPECT_EQ(move(dir.path("a"), dir.path("taken")), EEXIST);
    EXPECT_EQ(move(dir.path("a"), dir.path("folder")), EEXIST);
    EXPECT_EQ(move(dir.path("a"), dir.path("dangling")), EEXIST);
    EXPECT_EQ(readFile(dir.path("taken")), "other");
    EXPECT_TRUE(fs::is_directory(dir.path("folder")));
    EXPECT_TRUE(fs::is_symlink(dir.path("dangling")));
    EXPECT_EQ(readFile(dir.path("a")), "audio");

    EXPECT_EQ(move(dir.path("missing"), dir.path("free")), ENOENT);
    EXPECT_FALSE(exists(dir.path("free")));

    EXPECT_EQ(move(dir.path("a"), dir.path("free")), 0);
    EXPECT_FALSE(exists(dir.path("a")));
    EXPECT_EQ(readFile(dir.path("free")), "audio");
}

INSTANTIATE_TEST_SUITE_P(RenameAndLinkFallback, NoReplaceMove, ::testing::Values(&renameNoReplace, &moveByLink));

TEST(FindClashes, ComparesTargetDirectoriesNotTheirSpelling) {
    TemporaryFolder dir;
    fs::create_directory(dir.path("cd"));
    fs::create_directory(dir.path("other"));
    const std::vector<OldNameNewName> plan = {
        {dir.path("cd/a.mp3"), "Same.mp3"},
        {dir.path("other/b.mp3"), "Same.mp3"},   // another directory
        {dir.path("cd/./c.mp3"), "x/Same.mp3"},  // only the last component counts
        {dir.path("cd/d.mp3"), "Else.mp3"},
        {dir.path("cd/e.mp3"), "Same.mp3/"},     // fails on its own when renamed
        {dir.path("other/../cd/f.mp3"), "Same.mp3"},
    };
    const std::vector<RenameProblem> clashes = FileDisc::findClashes(plan);
    ASSERT_EQ(clashes.size(), 3u);
    EXPECT_EQ(clashes[0].oldName, dir.path("cd/a.mp3"));
    EXPECT_EQ(clashes[0].reason, "'" + dir.path("cd/Same.mp3") + "' would be the new name of more than one file");
    EXPECT_EQ(clashes[1].oldName, dir.path("cd/./c.mp3"));
    EXPECT_EQ(clashes[1].reason, "'" + dir.path("cd/./Same.mp3") + "' would be the new name of more than one file");
    EXPECT_EQ(clashes[2].oldName, dir.path("other/../cd/f.mp3"));
}

// A failed rename names its target and the system's reason; a file at the
// root keeps "/" as its directory ("/x" must not become "x").
TEST(RenameFiles, AFailureNamesTheTargetAndTheReason) {
    TemporaryFolder dir;
    const std::vector<OldNameNewName> plan = {
        {dir.path("gone"), "sub/G"},
        {"/vantrel-test-missing-file", "New"},
    };
    FileDisc fileDisc({});
    const std::vector<RenameProblem>& problems = fileDisc.renameFiles(plan);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].oldName, dir.path("gone"));
    EXPECT_EQ(problems[0].reason, "cannot rename to '" + dir.path("G") + "': No such file or directory");
    EXPECT_EQ(problems[1].reason, "cannot rename to '/New': No such file or directory");
}
