// The JPEG rewrite where libjpeg is not at hand (the Windows build): every
// file is stored as it is, as with --keep-jpeg.
#include "jpeg_baseline.h"

namespace tarnpack {

bool JpegRewriteAvailable() { return false; }

BaselineResult WriteAsBaseline(const std::string&, uint64_t, const ByteSink&, bool*) {
    return BaselineResult::LeftAsItIs;
}

}  // namespace tarnpack
