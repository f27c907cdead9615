#include <gtest/gtest.h>

#include <sstream>

#include "files/FileDisc.h"

using namespace Vantrel;

// Which files are refused, and how a listing looks, are checked end to end.

TEST(FileDisc, ProblemTexts) {
    const std::pair<int, const char*> cases[] = {
        {PROBLEM_NONE, "None"},
        {PROBLEM_READ_ONLY, "File is read-only"},
        {PROBLEM_INVALID, "File is invalid"},
        {PROBLEM_INVALID_AND_READ_ONLY, "File is invalid and read-only"},
        {4, ""},
        {-1, ""},
    };
    for (const auto& [type, text] : cases)
        EXPECT_EQ(FileDisc::ProblemTypeToString(static_cast<ProblemType>(type)), text) << type;
}

TEST(FileDisc, ListingStopsAtAFileNotOpened) {
    FileDisc fileDisc({"/nonexistent/a.mp3"});
    std::ostringstream out;
    try {
        fileDisc.printDetails(out);
        ADD_FAILURE() << "no exception";
    } catch (const TagException& error) {
        EXPECT_STREQ(error.what(), "File, audioProperties or Tag is NULL");
    }
}
