#include "files/FileDisc.h"

namespace Vantrel {

const Offsets& FileDisc::generateOffsets(int) { throw TagException("Disc offsets are not yet available"); }

} // namespace Vantrel
