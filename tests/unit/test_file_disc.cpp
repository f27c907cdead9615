#include <gtest/gtest.h>

#include <sstream>

#include "files/FileDisc.h"

using namespace Vantrel;

TEST(FileDisc, ProblemTexts) {
    EXPECT_EQ(FileDisc::ProblemTypeToString(PROBLEM_NONE), "None");
    EXPECT_EQ(FileDisc::ProblemTypeToString(PROBLEM_READ_ONLY), "File is read-only");
    EXPECT_EQ(FileDisc::ProblemTypeToString(PROBLEM_INVALID), "File is invalid");
    EXPECT_EQ(FileDisc::ProblemTypeToString(PROBLEM_INVALID_AND_READ_ONLY), "File is invalid and read-only");
    EXPECT_EQ(FileDisc::ProblemTypeToString(static_cast<ProblemType>(4)), "");
    EXPECT_EQ(FileDisc::ProblemTypeToString(static_cast<ProblemType>(-1)), "");
}

TEST(FileDisc, AnEmptySetHasNoProblemsAndListsOnlyTheHeader) {
    FileDisc fileDisc({});
    EXPECT_TRUE(fileDisc.checkFiles().empty());
    std::ostringstream out;
    fileDisc.printDetails(out);
    EXPECT_EQ(out.str(), "Output format: Artist - Title (Track Number, Year, Genre)\n\n");
}

TEST(FileDisc, ListingStopsAtTheFirstUnopenedFile) {
    FileDisc fileDisc({"/nonexistent/a.mp3", "/"});
    const std::vector<ProblemFile>& problems = fileDisc.checkFiles();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].path, "/nonexistent/a.mp3");
    EXPECT_EQ(problems[1].type, PROBLEM_INVALID);
    std::ostringstream out;
    EXPECT_THROW(fileDisc.printDetails(out), TagException);
    try {
        fileDisc.printDetails(out);
    } catch (const TagException& error) {
        EXPECT_STREQ(error.what(), "File, audioProperties or Tag is NULL");
    }
}
