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

// Writes a PCM WAV file (8 bits, mono, silence) of exactly sampleFrames
// frames, so its playing time is sampleFrames / sampleRate seconds exactly.
inline std::string writeWav(const std::string& path, std::uint32_t sampleFrames, std::uint32_t sampleRate) {
    std::string bytes;
    const auto little = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>(value >> (8 * i) & 0xff);
    };
    bytes += "RIFF";
    little(36 + sampleFrames + (sampleFrames & 1), 4);
    bytes += "WAVEfmt ";
    little(16, 4);
    little(1, 2); // PCM
    little(1, 2); // mono
    little(sampleRate, 4);
    little(sampleRate, 4); // bytes per second
    little(1, 2);          // bytes per frame
    little(8, 2);          // bits per sample
    bytes += "data";
    little(sampleFrames, 4);
    bytes.append(sampleFrames, '\x80');
    bytes.append(sampleFrames & 1, '\0'); // the pad byte of an odd-sized chunk is 0
    if (!(std::ofstream(path, std::ios::binary) << bytes))
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
