#include "disc/Text.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace Vantrel {

namespace {

enum class Sequence { VALID, INVALID, CUT_SHORT };

// Checks the UTF-8 sequence that starts at `at` and sets `length` to its size
// in bytes. Overlong forms, surrogates and code points above U+10FFFF are
// invalid.
Sequence checkSequence(const std::string& text, std::size_t at, std::size_t& length) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        length = 1;
        return Sequence::VALID;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return Sequence::INVALID;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i == text.size())
            return Sequence::CUT_SHORT;
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return Sequence::INVALID;
    }
    return Sequence::VALID;
}

std::string latin1ToUtf8(const std::string& bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

} // namespace

std::string entryTextToUtf8(const std::string& bytes) {
    bool multiByteSeen = false;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t length = 0;
        const Sequence sequence = checkSequence(bytes, at, length);
        // A Latin-1 text whose only letter above ASCII is its last one ("Olé")
        // also looks cut short: it counts as UTF-8 only after a whole
        // multi-byte character.
        if (sequence == Sequence::CUT_SHORT && multiByteSeen)
            return bytes.substr(0, at);
        if (sequence != Sequence::VALID)
            return latin1ToUtf8(bytes);
        multiByteSeen = multiByteSeen || length > 1;
        at += length;
    }
    return bytes;
}

std::string replaceControlCharacters(const std::string& text, char replacement) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        const bool c1 = byte == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) <= 0x9F &&
                        static_cast<unsigned char>(text[at + 1]) >= 0x80;
        if (c1)
            ++at;
        result += byte < 0x20 || byte == 0x7F || c1 ? replacement : text[at];
    }
    return result;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace Vantrel
