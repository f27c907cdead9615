#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>

#include "TestAudio.h"
#include "files/FileDisc.h"
#include "files/lengths/FileLengths.h"

using namespace Vantrel;

namespace {

// Runs a command line with the source and the target as %1$s and %2$s.
void run(const char* command, const std::string& source, const std::string& target) {
    char line[512];
    std::snprintf(line, sizeof line, command, source.c_str(), target.c_str());
    ASSERT_EQ(std::system(line), 0) << line;
}

// What iTunes-style encoders write: priming, padding and the source's count.
void addITunSMPB(const std::string& path, unsigned long long samples) {
    char text[64];
    std::snprintf(text, sizeof text, " 00000000 00000840 000001CA %016llX 00000000", samples);
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mp3") == 0) {
        TagLib::MPEG::File file(path.c_str());
        auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
        frame->setDescription("iTunSMPB");
        frame->setText(text);
        file.ID3v2Tag(true)->addFrame(frame);
        file.save();
    } else {
        TagLib::MP4::File file(path.c_str());
        file.tag()->setItem("----:com.apple.iTunes:iTunSMPB", TagLib::StringList(text));
        file.save();
    }
}

} // namespace

// Tracks of whole CD frames (588 samples at 44.1 kHz) encoded the way rippers
// do come back with the source's count (Opus's at 48 kHz); without gapless
// data, with a count that is at most the bound too long.
TEST(Lengths, EncodedTracksKeepTheSourceSampleCount) {
    struct Encoding {
        const char* name;
        const char* command;
        bool exact;
    };
    const Encoding encodings[] = {
        {"vbr.mp3", "lame --quiet -V2 %1$s %2$s", true},
        {"cbr.mp3", "lame --quiet -b 320 %1$s %2$s", true},
        {"ffmpeg.mp3", "ffmpeg -loglevel error -i %1$s %2$s", true},
        {"ffmpeg.m4a", "ffmpeg -loglevel error -i %1$s -c:a aac %2$s", true},
        {"oggenc.ogg", "oggenc --quiet -o %2$s %1$s", true},
        {"opusenc.opus", "opusenc --quiet %1$s %2$s", true},
        {"itunsmpb.mp3", "lame --quiet -t %1$s %2$s", true},
        {"itunsmpb.m4a", "ffmpeg -loglevel error -i %1$s -c:a aac -use_editlist 0 %2$s", true},
        {"bare.mp3", "lame --quiet -t %1$s %2$s", false},
        {"bare.m4a", "ffmpeg -loglevel error -i %1$s -c:a aac -use_editlist 0 %2$s", false},
    };
    TemporaryFolder folder;
    for (const unsigned long long samples : {588ULL * 163, 588ULL * 37}) {
        const std::string source = folder.path(std::to_string(samples) + ".wav");
        run("sox -r 44100 -c 2 -n -r 44100 -c 2 -b 16 %2$s synth %1$ss sine 440 vol 0.1",
            std::to_string(samples), source);
        for (const Encoding& encoding : encodings) {
            const std::string path = folder.path(std::to_string(samples) + encoding.name);
            run(encoding.command, source, path);
            if (std::string(encoding.name).rfind("itunsmpb", 0) == 0)
                addITunSMPB(path, samples);
            const SampleCount count = sampleCountOf(TagLib::FileRef(path.c_str()));
            const unsigned long long sourceCount = samples * count.rate / 44100;
            EXPECT_EQ(count.maxExcess == 0, encoding.exact) << path;
            EXPECT_GE(count.samples, sourceCount) << path;
            EXPECT_LE(count.samples, sourceCount + count.maxExcess) << path;
        }
    }
}

// The lead-out may fall on 99:59:74 at the latest, whatever the headers claim.
TEST(Lengths, SetsPastTheEndOfACdAreRefused) {
    TemporaryFolder folder;
    const std::string full = writeWav(folder.path("full.wav"), 449998 - 150, 75);
    const std::string frame = writeWav(folder.path("frame.wav"), 2, 150);
    FileDisc fits({full, frame});
    EXPECT_EQ(fits.generateOffsets(150).leadOut, 449999);

    // A FLAC header claiming 0x144A37472 samples at 1 Hz: 2^64 ticks and
    // some, which would wrap around to less than a second.
    const std::string huge = folder.path("huge.flac");
    run("flac --silent -o %2$s %1$s", writeWav(folder.path("source.wav"), 4410, 44100), huge);
    std::fstream header(huge, std::ios::in | std::ios::out | std::ios::binary);
    char bytes[8];
    header.seekg(18);
    header.read(bytes, 8);
    const char patched[] = {0, 0, static_cast<char>(0x10 | (bytes[2] & 0x0F)), static_cast<char>((bytes[3] & 0xF0) | 1),
                            '\x44', '\xA3', '\x74', '\x72'};
    header.seekp(18);
    header.write(patched, 8);
    header.close();

    for (const std::vector<std::string>& paths : {std::vector<std::string>{full, frame, frame}, {frame, huge}}) {
        FileDisc tooLong(paths);
        try {
            tooLong.generateOffsets(150);
            ADD_FAILURE() << "no exception for " << paths.back();
        } catch (const TagException& error) {
            EXPECT_STREQ(error.what(), "The files are too long for one CD: they would end past 99:59:74.");
        }
    }
}

// Half a frame is 294 samples at 44100 Hz and 320 at 48000 Hz. Each start is
// rounded from the exact sum of the lengths before it, so halves neither
// vanish (truncation) nor pile up (summing rounded lengths).
TEST(TableOfContentsOfFiles, StartsAreRoundedFromTheExactSumAcrossSampleRates) {
    TemporaryFolder folder;
    FileDisc halves({writeWav(folder.path("1.wav"), 294, 44100), writeWav(folder.path("2.wav"), 320, 48000),
                     writeWav(folder.path("3.wav"), 294, 44100)});
    const TableOfContents& offsets = halves.generateOffsets(150);
    EXPECT_EQ(offsets.frameOffsets, (std::vector<int>{150, 151, 151}));
    EXPECT_EQ(offsets.leadOut, 152);

    // 37 s and a third of a frame per file: the third file starts two thirds
    // of a frame late, which rounds up.
    FileDisc thirds({writeWav(folder.path("a.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("b.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("c.wav"), 37 * 44100 + 196, 44100)});
    EXPECT_EQ(thirds.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150 + 2775, 150 + 5550 + 1}));

    // 288 samples are 0.49 frames, but 7 ms (0.525 frames) counted in milliseconds.
    FileDisc underHalf({writeWav(folder.path("x.wav"), 288, 44100), writeWav(folder.path("y.wav"), 75, 75)});
    EXPECT_EQ(underHalf.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150}));
}
