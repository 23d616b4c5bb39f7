// JPEG files rewritten losslessly for a quick start in the player: the
// quantised DCT coefficients are carried over as they are, so the pictures
// decode to the same pixels, and every APPn and COM marker is copied. The
// output is one baseline scan with a restart marker after every row of MCUs.
// A decoder holds the coefficients of a whole multi-scan picture (72 MB for
// 24 megapixels) but only a band of a single-scan one, and decodes the
// latter about three times as fast; the restart markers let the player cut
// the picture in two and decode the halves on two cores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnpack {

// Takes the next bytes of the output; false when they cannot be written.
using ByteSink = std::function<bool(const char* data, size_t size)>;

enum class BaselineResult {
    Written,       // `sink` received the whole rewritten file
    LeftAsItIs,    // nothing written: not a JPEG, one scan with markers at
                   // whole rows already, damaged, arithmetic-coded, refused
                   // by the library, or more than the DCT coefficients and
                   // markers (data after its end)
    Abandoned,     // the library failed after part of the output was given
                   // to `sink`: discard it and store the file as it is
    SinkRefused,   // `sink` returned false; nothing more was given to it
};

// Whether this build can rewrite JPEGs (it has libjpeg); without it every
// file is stored as it is.
bool JpegRewriteAvailable();

// Rewrites the first `size` bytes of the file at `path`, which must be
// exactly one JPEG picture, unless it is stored best as it is. The
// coefficients of one picture are in memory at a time; the output goes to
// `sink` in chunks. `multiScan`, when given, is set when a multi-scan
// (progressive) picture was written as a single-scan one.
BaselineResult WriteAsBaseline(const std::string& path, uint64_t size, const ByteSink& sink,
                               bool* multiScan = nullptr);

}  // namespace tarnpack
