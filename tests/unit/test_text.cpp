#include <gtest/gtest.h>

#include <string>

#include "disc/Text.h"

using namespace Vantrel;

TEST(EntryText, UTF8StaysLatin1IsConvertedACutLastCharacterGoes) {
    const struct {
        std::string entry;
        std::string utf8;
    } cases[] = {
        {"Die \xc4rzte", "Die \xc3\x84rzte"},
        {"Ol\xe9", "Ol\xc3\xa9"}, // Latin-1 that ends like a cut UTF-8 character
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},         // overlong '/'
        {"\xe0\x80\xaf", "\xc3\xa0\xc2\x80\xc2\xaf"}, // overlong '/'
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"}, // surrogate
        {"\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe", "\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe"},
        {"\xd0\x9a\xd0\xb8\xd0", "\xd0\x9a\xd0\xb8"},
        {"\xd0\x9a\xf0\x9f\x8e", "\xd0\x9a"},
        {"\xd0\x9a\xd0 x", "\xc3\x90\xc2\x9a\xc3\x90 x"}, // cut, but not at the end
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entryTextToUtf8(c.entry), c.utf8) << c.entry;
}

TEST(ControlCharacters, C0DelAndC1AreReplacedOtherTextStays) {
    EXPECT_EQ(replaceControlCharacters(std::string("a\0b\nc\x1f" "d\x7f" "e\xc2\x9b" "f", 12), '_'), "a_b_c_d_e_f");
    EXPECT_EQ(forTerminal("\x1b[31mR\xc3\xb3s \xc2\xa0\xd0\x96\xff"), "?[31mR\xc3\xb3s \xc2\xa0\xd0\x96\xff");
}
