#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/FileDisc.h"
#include "files/SafeRename.h"

using namespace Vantrel;
namespace fs = std::filesystem;

namespace {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "vantrel-rename-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return (path / name).string(); }

    fs::path path;
};

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

TEST(ReplaceWith, ReplacesOnlyTheFirstOccurrence) {
    std::string text = "%n %n.mp3";
    PrepareNewNames::replace_with(text, "%n", std::string("07"));
    EXPECT_EQ(text, "07 %n.mp3");

    text = "%a - %s";
    PrepareNewNames::replace_with(text, "%y", std::string("1999"));
    EXPECT_EQ(text, "%a - %s");
    PrepareNewNames::replace_with(text, "%a", std::string());
    EXPECT_EQ(text, " - %s");
}

TEST(ReplaceWith, TagTextsGoIntoNamesAsLatin1) {
    std::string text = "%a.mp3";
    PrepareNewNames::replace_with(text, "%a", toUTF8String("Bj\xC3\xB6rk"));
    EXPECT_EQ(text, "Bj\xF6rk.mp3");
}

// Both ways of moving a file must refuse every kind of existing target.
class NoReplaceMove : public ::testing::TestWithParam<int (*)(const std::string&, const std::string&)> {};

TEST_P(NoReplaceMove, MovesOnlyOntoAFreeName) {
    const auto move = GetParam();
    TempDir dir;
    writeFile(dir / "a", "audio");
    writeFile(dir / "taken", "other");
    fs::create_directory(dir.path / "folder");
    fs::create_symlink(dir / "nowhere", dir.path / "dangling");

    EXPECT_EQ(move(dir / "a", dir / "taken"), EEXIST);
    EXPECT_EQ(move(dir / "a", dir / "folder"), EEXIST);
    EXPECT_EQ(move(dir / "a", dir / "dangling"), EEXIST);
    EXPECT_EQ(readFile(dir / "taken"), "other");
    EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling"));
    EXPECT_EQ(readFile(dir / "a"), "audio");

    EXPECT_EQ(move(dir / "missing", dir / "free"), ENOENT);
    EXPECT_FALSE(exists(dir / "free"));

    EXPECT_EQ(move(dir / "a", dir / "free"), 0);
    EXPECT_FALSE(exists(dir / "a"));
    EXPECT_EQ(readFile(dir / "free"), "audio");
}

INSTANTIATE_TEST_SUITE_P(RenameAndLinkFallback, NoReplaceMove, ::testing::Values(&renameNoReplace, &moveByLink));

TEST(FindClashes, ComparesTargetDirectoriesNotTheirSpelling) {
    TempDir dir;
    fs::create_directory(dir.path / "cd");
    fs::create_directory(dir.path / "other");
    const std::vector<OldNameNewName> plan = {
        {dir / "cd/a.mp3", "Same.mp3"},
        {dir / "other/b.mp3", "Same.mp3"},   // another directory
        {dir / "cd/./c.mp3", "x/Same.mp3"},  // only the last component counts
        {dir / "cd/d.mp3", "Else.mp3"},
        {dir / "cd/e.mp3", "Same.mp3/"},     // fails on its own when renamed
        {dir / "other/../cd/f.mp3", "Same.mp3"},
    };
    const std::vector<RenameProblem> clashes = FileDisc::findClashes(plan);
    ASSERT_EQ(clashes.size(), 3u);
    EXPECT_EQ(clashes[0].oldName, dir / "cd/a.mp3");
    EXPECT_EQ(clashes[0].reason, "'" + dir / "cd/Same.mp3" + "' would be the new name of more than one file");
    EXPECT_EQ(clashes[1].oldName, dir / "cd/./c.mp3");
    EXPECT_EQ(clashes[1].reason, "'" + dir / "cd/./Same.mp3" + "' would be the new name of more than one file");
    EXPECT_EQ(clashes[2].oldName, dir / "other/../cd/f.mp3");
}

TEST(RenameFiles, RenamesWhatItCanAndReportsTheRest) {
    TempDir dir;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "taken"})
        writeFile(dir / name, name);
    const std::vector<OldNameNewName> plan = {
        {dir / "a", "sub/A"},
        {dir / "b", "x/b"},
        {dir / "c", "taken"},
        {dir / "d", std::string("D\0.mp3", 6)},
        {dir / "e", "E/"},
        {dir / "f", ".."},
        {dir / "gone", "G"},
    };
    FileDisc fileDisc({});
    const std::vector<RenameProblem>& problems = fileDisc.renameFiles(plan);

    ASSERT_EQ(problems.size(), 5u);
    EXPECT_EQ(problems[0].oldName, dir / "c");
    EXPECT_EQ(problems[0].reason, "'" + dir / "taken" + "' already exists");
    EXPECT_EQ(problems[1].reason, "new name contains a NUL character");
    EXPECT_EQ(problems[2].reason, "new name does not end in a file name");
    EXPECT_EQ(problems[3].reason, "new name does not end in a file name");
    EXPECT_EQ(problems[4].oldName, dir / "gone");
    EXPECT_EQ(problems[4].reason, "cannot rename to '" + dir / "G" + "': No such file or directory");

    EXPECT_EQ(readFile(dir / "A"), "a");
    EXPECT_EQ(readFile(dir / "b"), "b");
    EXPECT_EQ(readFile(dir / "taken"), "taken");
    for (const char* name : {"c", "d", "e", "f"})
        EXPECT_EQ(readFile(dir / name), name);
    EXPECT_FALSE(exists(dir / "a"));
    EXPECT_FALSE(exists(dir / "D"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 7);
}

TEST(RenameFiles, AFileAtTheRootKeepsItsDirectory) {
    // "/" is the directory part of "/x"; the target must not become "x".
    const std::vector<OldNameNewName> plan = {{"/vantrel-test-missing-file", "New"}};
    FileDisc fileDisc({});
    const std::vector<RenameProblem>& problems = fileDisc.renameFiles(plan);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].reason, "cannot rename to '/New': No such file or directory");
}
