#include "files/tags/FrontCover.h"

#include <memory>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/xiphcomment.h>

#include "files/tags/ReleaseFields.h"

namespace Vantrel {

namespace {

TagLib::ByteVector bytesOf(const std::string& data) {
    return TagLib::ByteVector(data.data(), static_cast<unsigned int>(data.size()));
}

bool holdsFrontCover(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (const TagLib::FLAC::Picture* picture : pictures)
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return true;
    return false;
}

std::unique_ptr<TagLib::FLAC::Picture> flacPicture(const Picture& picture) {
    auto block = std::make_unique<TagLib::FLAC::Picture>();
    block->setType(TagLib::FLAC::Picture::FrontCover);
    block->setMimeType(picture.mimeType);
    block->setData(bytesOf(picture.data));
    return block;
}

void addToId3v2(TagLib::ID3v2::Tag& tag, const Picture& picture) {
    for (const TagLib::ID3v2::Frame* frame : tag.frameList("APIC")) {
        const auto* attached = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (attached != nullptr && attached->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return;
    }
    auto frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setMimeType(picture.mimeType);
    frame->setPicture(bytesOf(picture.data));
    tag.addFrame(frame.release());
}

void addToMp4(TagLib::MP4::Tag& tag, const Picture& picture) {
    if (tag.contains("covr"))
        return;
    const auto format = picture.mimeType == "image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(format, bytesOf(picture.data)));
    tag.setItem("covr", covers);
}

} // namespace

void addFrontCover(TagLib::File& file, const Picture& picture) {
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        if (!holdsFrontCover(flac->pictureList()))
            flac->addPicture(flacPicture(picture).release());
    } else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag())) {
        if (!holdsFrontCover(comment->pictureList()))
            comment->addPicture(flacPicture(picture).release());
    } else if (TagLib::ID3v2::Tag* id3 = id3v2TagOf(file)) {
        addToId3v2(*id3, picture);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        addToMp4(*mp4->tag(), picture);
    }
}

} // namespace Vantrel
