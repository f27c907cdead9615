#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestAudio.h"
#include "files/FileDisc.h"

using namespace Vantrel;

namespace {

// The CDDB disc ID, computed the way CDDB defines it, as an oracle for the
// offsets and disc length that the file set hands to the CDDB library.
unsigned int cddbDiscId(const std::vector<int>& offsets, unsigned int length) {
    unsigned int digitSum = 0;
    for (int offset : offsets)
        for (int seconds = offset / 75; seconds > 0; seconds /= 10)
            digitSum += seconds % 10;
    const unsigned int playing = length - offsets.front() / 75;
    return (digitSum % 255) << 24 | playing << 8 | static_cast<unsigned int>(offsets.size());
}

std::string hex(unsigned int id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

// Files of whole seconds, at 75 samples per second (one sample per frame).
std::vector<std::string> filesOfSeconds(const TemporaryFolder& folder, const std::vector<std::uint32_t>& seconds) {
    std::vector<std::string> paths;
    for (std::uint32_t length : seconds)
        paths.push_back(writeWav(folder.path(std::to_string(paths.size() + 1) + ".wav"), length * 75, 75));
    return paths;
}

// A real CDDB entry as the cache keeps it: its track offsets, disc length in
// seconds and disc ID.
struct Entry {
    std::vector<int> offsets;
    unsigned int length = 0;
    std::string discId;
};

Entry readEntry(const std::string& relativePath) {
    std::ifstream in(std::string(VANTREL_TEST_DATA) + "/xmcd/" + relativePath);
    Entry entry;
    bool inOffsets = false;
    for (std::string line; std::getline(in, line);) {
        int offset = 0;
        if (line.find("Track frame offsets") != std::string::npos)
            inOffsets = true;
        else if (inOffsets && std::sscanf(line.c_str(), "# %d", &offset) == 1)
            entry.offsets.push_back(offset);
        else
            inOffsets = false;
        std::sscanf(line.c_str(), "# Disc length: %u seconds", &entry.length);
        if (line.rfind("DISCID=", 0) == 0)
            entry.discId = line.substr(7);
    }
    return entry;
}

// One file per track of the entry, each exactly as long as its track: the
// next offset minus its own; the last one ends where the disc length begins.
std::vector<std::string> filesForEntry(const TemporaryFolder& folder, const Entry& entry, std::uint32_t rate) {
    std::vector<std::string> paths;
    const std::uint32_t samplesPerFrame = rate / 75;
    for (std::size_t i = 0; i < entry.offsets.size(); ++i) {
        const int end = i + 1 < entry.offsets.size() ? entry.offsets[i + 1] : static_cast<int>(entry.length * 75);
        const auto frames = static_cast<std::uint32_t>(end - entry.offsets[i]);
        paths.push_back(writeWav(folder.path(std::to_string(i + 1) + ".wav"), frames * samplesPerFrame, rate));
    }
    return paths;
}

} // namespace

TEST(Offsets, WholeSecondsGiveTheClassicLayoutAndDiscId) {
    TemporaryFolder folder;
    FileDisc fileDisc(filesOfSeconds(folder, {100, 200, 50}));
    ASSERT_TRUE(fileDisc.checkFiles().empty());

    const Offsets& offsets = fileDisc.generateOffsets(150);
    EXPECT_EQ(offsets.frameOffsets, (std::vector<int>{150, 7650, 22650}));
    // The lead-out at frame 26400 is second 352: the first offset counts.
    EXPECT_EQ(offsets.length, 352u);
    EXPECT_EQ(hex(cddbDiscId(offsets.frameOffsets, offsets.length)), "0a015e03");

    const Offsets again = fileDisc.generateOffsets(150);
    EXPECT_EQ(again.frameOffsets, offsets.frameOffsets);
    EXPECT_EQ(again.length, offsets.length);

    const Offsets& fromZero = fileDisc.generateOffsets(0);
    EXPECT_EQ(fromZero.frameOffsets, (std::vector<int>{0, 7500, 22500}));
    EXPECT_EQ(fromZero.length, 350u);
}

TEST(Offsets, EdgeSets) {
    TemporaryFolder folder;
    FileDisc none({});
    EXPECT_TRUE(none.generateOffsets(150).frameOffsets.empty());
    EXPECT_EQ(none.generateOffsets(150).length, 2u);

    FileDisc one(filesOfSeconds(folder, {200}));
    EXPECT_EQ(one.generateOffsets(150).frameOffsets, std::vector<int>{150});
    EXPECT_EQ(one.generateOffsets(150).length, 202u);

    const std::string empty = writeWav(folder.path("empty.wav"), 0, 75);
    const std::string after = writeWav(folder.path("after.wav"), 75 * 3, 75);
    FileDisc withEmpty({empty, after});
    EXPECT_EQ(withEmpty.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150}));
}

TEST(Offsets, AFileWithoutPropertiesStopsTheComputation) {
    TemporaryFolder folder;
    FileDisc fileDisc({filesOfSeconds(folder, {10}).front(), folder.path("missing.wav")});
    try {
        fileDisc.generateOffsets(150);
        FAIL() << "no exception";
    } catch (const TagException& error) {
        EXPECT_STREQ(error.what(), "File or audioProperties is NULL");
    }
}

// Half a frame is 294 samples at 44100 Hz and 320 at 48000 Hz. Each start is
// rounded from the exact sum of the lengths before it, so halves neither
// vanish (truncation) nor pile up (summing rounded lengths).
TEST(Offsets, StartsAreRoundedFromTheExactSumAcrossSampleRates) {
    TemporaryFolder folder;
    FileDisc halves({writeWav(folder.path("1.wav"), 294, 44100), writeWav(folder.path("2.wav"), 320, 48000),
                     writeWav(folder.path("3.wav"), 294, 44100)});
    const Offsets& offsets = halves.generateOffsets(150);
    EXPECT_EQ(offsets.frameOffsets, (std::vector<int>{150, 151, 151}));
    EXPECT_EQ(offsets.length, 2u);

    // 37 s and a third of a frame per file: the third file starts two thirds
    // of a frame late, which rounds up.
    FileDisc thirds({writeWav(folder.path("a.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("b.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("c.wav"), 37 * 44100 + 196, 44100)});
    EXPECT_EQ(thirds.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150 + 2775, 150 + 5550 + 1}));
}

// Files as long as the tracks of real CDDB entries must give back the
// entries' own offsets, disc length and disc ID.
TEST(Offsets, FilesOfRealEntriesReproduceTheirDiscIds) {
    struct Case {
        const char* entry;
        std::uint32_t rate;
    };
    for (const Case& c : {Case{"misc/d50dd30f", 75}, Case{"blues/7d0b170a", 7500}}) {
        SCOPED_TRACE(c.entry);
        const Entry entry = readEntry(c.entry);
        ASSERT_FALSE(entry.offsets.empty());
        TemporaryFolder folder;
        FileDisc fileDisc(filesForEntry(folder, entry, c.rate));
        ASSERT_TRUE(fileDisc.checkFiles().empty());

        const Offsets& offsets = fileDisc.generateOffsets(150);
        EXPECT_EQ(offsets.frameOffsets, entry.offsets);
        EXPECT_EQ(offsets.length, entry.length);
        EXPECT_EQ(hex(cddbDiscId(offsets.frameOffsets, offsets.length)), entry.discId);
    }
}
