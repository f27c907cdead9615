#include "files/set/DiscFolder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <taglib/fileref.h>

#include "disc/Text.h"
#include "files/TagException.h"

namespace Vantrel {

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The extensions the audio library opens, lower case.
bool isAudioName(const std::string& name) {
    static const TagLib::StringList extensions = TagLib::FileRef::defaultFileExtensions();
    const std::string::size_type dot = name.rfind('.');
    return dot != std::string::npos && extensions.contains(TagLib::String(lowerCase(name.substr(dot + 1))));
}

// The digit run at `at` without its leading zeros.
std::string digitRun(const std::string& text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    const std::size_t significant = std::min(text.find_first_not_of('0', start), at);
    return text.substr(significant, at - significant);
}

} // namespace

bool naturallyBefore(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string x = digitRun(a, i), y = digitRun(b, j);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (x != y)
                return x < y;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    // Equal runs of different zero padding ("01", "1"): the whole names decide.
    return a.size() - i != b.size() - j ? a.size() - i < b.size() - j : a < b;
}

std::vector<std::string> audioFilesIn(const std::string& folder) {
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error)
        throw TagException("Cannot read the folder " + folder + ": " + error.message());
    std::vector<std::string> names;
    for (const std::filesystem::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.' || !entry.is_regular_file(error) || !isAudioName(name))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturallyBefore);
    std::vector<std::string> paths;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const std::string& name : names)
        paths.push_back(prefix + name);
    return paths;
}

} // namespace Vantrel
