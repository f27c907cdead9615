#ifndef VANTREL_TESTS_UNIT_TESTAUDIO_H
#define VANTREL_TESTS_UNIT_TESTAUDIO_H

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

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

// Writes a WAV file (16 bits, mono) of exactly sampleFrames frames with
// sox, so its playing time is sampleFrames / sampleRate seconds exactly.
inline std::string writeWav(const std::string& path, std::uint32_t sampleFrames, std::uint32_t sampleRate) {
    const std::string rate = std::to_string(sampleRate);
    const std::string command = "sox -r " + rate + " -c 1 -n -r " + rate + " -c 1 -b 16 '" + path + "' synth " +
                                std::to_string(sampleFrames) + "s sine 440 vol 0.1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("cannot write " + path);
    return path;
}

#endif
