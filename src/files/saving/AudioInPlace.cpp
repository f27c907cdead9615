#include "files/saving/AudioInPlace.h"

#include <cstring>

namespace Vantrel {

namespace {

const int FLAC_PADDING = 1;
const long FLAC_LONGEST_BLOCK = 0xFFFFFF;
const long ID3V2_LONGEST_TAG = (1L << 28) - 1;

// The FLAC metadata blocks of `head` without their padding, followed by one
// padding block that fills it to `target` bytes.
std::optional<TagLib::ByteVector> repadFlac(const TagLib::ByteVector& head, long target) {
    if (!head.startsWith("fLaC"))
        return std::nullopt;
    TagLib::ByteVector blocks("fLaC", 4);
    unsigned int lastHeader = 0;
    for (unsigned int offset = 4; offset < head.size();) {
        if (offset + 4 > head.size())
            return std::nullopt;
        const unsigned int length = head.mid(offset + 1, 3).toUInt(0, 3, true);
        if (offset + 4 + length > head.size())
            return std::nullopt;
        if ((head[offset] & 0x7f) != FLAC_PADDING) {
            lastHeader = blocks.size();
            blocks.append(head.mid(offset, 4 + length));
            blocks[lastHeader] = static_cast<char>(blocks[lastHeader] & 0x7f);
        }
        offset += 4 + length;
    }
    const long padding = target - static_cast<long>(blocks.size()) - 4;
    if (lastHeader == 0 || (padding < 0 && padding != -4) || padding > FLAC_LONGEST_BLOCK)
        return std::nullopt;
    if (padding == -4) {
        blocks[lastHeader] = static_cast<char>(blocks[lastHeader] | 0x80);
        return blocks;
    }
    blocks.append(static_cast<char>(0x80 | FLAC_PADDING));
    blocks.append(TagLib::ByteVector::fromUInt(static_cast<unsigned int>(padding), true).mid(1, 3));
    blocks.append(TagLib::ByteVector(static_cast<unsigned int>(padding), '\0'));
    return blocks;
}

// An ID3v2 tag (without a footer) with as much padding as makes it
// `target` bytes long. Padding is zeros, so the tag's trailing zeros are
// taken as padding and given back.
std::optional<TagLib::ByteVector> repadId3v2(const TagLib::ByteVector& head, long target) {
    if (!head.startsWith("ID3") || head.size() < 10 || (head[5] & 0x10) != 0 || target - 10 > ID3V2_LONGEST_TAG)
        return std::nullopt;
    long used = static_cast<long>(head.size());
    while (used > 10 && head[static_cast<unsigned int>(used - 1)] == '\0')
        --used;
    if (used > target)
        return std::nullopt;
    TagLib::ByteVector tag = head.mid(0, static_cast<unsigned int>(used));
    tag.resize(static_cast<unsigned int>(target), '\0');
    const long size = target - 10;
    for (int i = 0; i < 4; ++i)
        tag[9 - i] = static_cast<char>((size >> (7 * i)) & 0x7f);
    return tag;
}

} // namespace

std::optional<Layout> keepAudioInPlace(Container container, OverlayStream& prepared, const AudioSpan& oldAudio,
                                       const AudioSpan& newAudio) {
    if (container != Container::FLAC && container != Container::MPEG)
        return std::nullopt;
    TagLib::ByteVector head(static_cast<unsigned int>(newAudio.begin));
    if (!prepared.readAt(0, head.data(), newAudio.begin))
        return std::nullopt;
    const std::optional<TagLib::ByteVector> tags =
        container == Container::FLAC ? repadFlac(head, oldAudio.begin) : repadId3v2(head, oldAudio.begin);
    if (!tags)
        return std::nullopt;
    Layout layout{Piece{static_cast<long>(tags->size()), -1, *tags},
                  Piece{oldAudio.end - oldAudio.begin, oldAudio.begin, {}}};
    for (const Piece& piece : sliceOf(prepared.layout(), newAudio.end, prepared.length()))
        layout.push_back(piece);
    if (layout.front().length == 0)
        layout.erase(layout.begin());
    return layout;
}

} // namespace Vantrel
