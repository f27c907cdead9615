#include "files/FileDisc.h"

namespace Vantrel {

void FileDisc::tagByBestFit(const Disc&) { throw TagException("Tagging is not yet available"); }
void FileDisc::tagByOrder(const Disc&) { throw TagException("Tagging is not yet available"); }
void FileDisc::stripTag(const TagLib::FileRef&) {}
void FileDisc::setTag(const Disc&, const Track&, TagLib::FileRef&) {}

} // namespace Vantrel
