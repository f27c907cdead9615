#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TestAudio.h"
#include "files/SafeRename.h"

using namespace Vantrel;
namespace fs = std::filesystem;

// Renaming is checked end to end; this covers the fallback that only file
// systems without the no-replace flag reach.

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
