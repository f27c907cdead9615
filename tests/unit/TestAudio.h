#ifndef VANTREL_TESTS_UNIT_TESTAUDIO_H
#define VANTREL_TESTS_UNIT_TESTAUDIO_H

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

// A folder under the system's temporary folder, removed with its contents.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-unit-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        folder = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string path(const std::string& name) const { return (folder / name).string(); }

private:
    std::filesystem::path folder;
};

namespace testaudio {

inline void put16(std::ofstream& out, std::uint16_t value) {
    const char bytes[] = {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
    out.write(bytes, 2);
}

inline void put32(std::ofstream& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xffff));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace testaudio

// Writes a real PCM WAV file (8 bits, mono, silence) of exactly sampleFrames
// frames, so its playing time is sampleFrames / sampleRate seconds exactly.
inline std::string writeWav(const std::string& path, std::uint32_t sampleFrames, std::uint32_t sampleRate) {
    using namespace testaudio;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + sampleFrames + (sampleFrames & 1));
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, sampleRate);
    put32(out, sampleRate); // bytes per second
    put16(out, 1);          // bytes per frame
    put16(out, 8);          // bits per sample
    out.write("data", 4);
    put32(out, sampleFrames);
    const std::vector<char> silence(sampleFrames, static_cast<char>(0x80));
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
    out.write("", sampleFrames & 1); // the pad byte of an odd-sized chunk is 0
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

// Files 1.wav, 2.wav, ... of whole seconds, at 75 samples per second (one
// sample per frame).
inline std::vector<std::string> filesOfSeconds(const TemporaryFolder& folder, const std::vector<std::uint32_t>& seconds) {
    std::vector<std::string> paths;
    for (std::uint32_t length : seconds)
        paths.push_back(writeWav(folder.path(std::to_string(paths.size() + 1) + ".wav"), length * 75, 75));
    return paths;
}

#endif
