#include "toc/SourceText.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "toc/TocSourceError.h"

namespace Vantrel {

namespace {

// Far more than the log of any disc.
const std::size_t MAX_SOURCE_BYTES = 16u << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct IconvCloser {
    using pointer = iconv_t;
    void operator()(iconv_t converter) const { iconv_close(converter); }
};

// Opening does not wait for a FIFO's writer; only a regular file is read.
std::unique_ptr<std::FILE, FileCloser> openRegularFile(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throw TocSourceError(std::strerror(errno));
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(descriptor, "rb"));
    if (!file) {
        close(descriptor);
        throw TocSourceError(std::strerror(errno));
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0)
        throw TocSourceError(std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        throw TocSourceError(std::strerror(EISDIR));
    if (!S_ISREG(status.st_mode))
        throw TocSourceError("it is not a regular file");
    return file;
}

std::string contentOf(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> file = openRegularFile(path);
    std::string content;
    char buffer[65536];
    while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get())) {
        content.append(buffer, count);
        if (content.size() > MAX_SOURCE_BYTES)
            throw TocSourceError("it is too large to be a rip log or CUE sheet");
    }
    if (std::ferror(file.get()))
        throw TocSourceError(std::strerror(errno));
    return content;
}

std::string toUtf8(const std::string& text, const char* encoding) {
    std::unique_ptr<void, IconvCloser> converter(iconv_open("UTF-8", encoding));
    if (converter.get() == reinterpret_cast<iconv_t>(-1))
        throw TocSourceError(std::string("cannot convert ") + encoding + " text");
    std::string input = text;
    std::string output(text.size() * 2 + 4, '\0');
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1))
        throw TocSourceError(std::string("it is not valid ") + encoding + " text");
    output.resize(output.size() - outLeft);
    return output;
}

// Byte order marks, longest first: UTF-32LE's begins as UTF-16LE's does.
std::string decoded(const std::string& content) {
    struct Mark {
        const char* bytes;
        const char* encoding;
    };
    static const Mark MARKS[] = {{"\xFF\xFE\x00\x00", "UTF-32LE"}, {"\x00\x00\xFE\xFF", "UTF-32BE"},
                                 {"\xFF\xFE", "UTF-16LE"}, {"\xFE\xFF", "UTF-16BE"}, {"\xEF\xBB\xBF", nullptr}};
    static const std::size_t LENGTHS[] = {4, 4, 2, 2, 3};
    for (std::size_t i = 0; i < sizeof MARKS / sizeof MARKS[0]; ++i) {
        const std::string mark(MARKS[i].bytes, LENGTHS[i]);
        if (startsWith(content, mark))
            return MARKS[i].encoding ? toUtf8(content.substr(mark.size()), MARKS[i].encoding)
                                     : content.substr(mark.size());
    }
    return content;
}

} // namespace

std::vector<std::string> linesOfSource(const std::string& path) {
    const std::string text = decoded(contentOf(path));
    if (text.find('\0') != std::string::npos)
        throw TocSourceError("it is not text");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isNumber(const std::string& text) {
    const std::string digits = trimmed(text);
    return !digits.empty() && digits.size() <= 9 && digits.find_first_not_of("0123456789") == std::string::npos;
}

int numberOf(const std::string& text) {
    if (!isNumber(text))
        throw TocSourceError("\"" + trimmed(text) + "\" is not a number");
    return std::stoi(trimmed(text));
}

} // namespace Vantrel
