// Progressive and other multi-scan JPEG files rewritten as baseline ones,
// losslessly: the quantised DCT coefficients are carried over as they are,
// so the pictures decode to the same pixels, and every APPn and COM marker is
// copied. A decoder holds the coefficients of a whole multi-scan picture
// (72 MB for 24 megapixels) but only a band of a single-scan one, and decodes
// the latter about three times as fast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnpack {

// Takes the next bytes of the output; false when they cannot be written.
using ByteSink = std::function<bool(const char* data, size_t size)>;

enum class BaselineResult {
    Written,       // `sink` received the whole baseline file
    LeftAsItIs,    // nothing written: not a JPEG, one scan already, damaged,
                   // arithmetic-coded, refused by the library, or more than
                   // the DCT coefficients and markers (data after its end)
    Abandoned,     // the library failed after part of the output was given
                   // to `sink`: discard it and store the file as it is
    SinkRefused,   // `sink` returned false; nothing more was given to it
};

// Transcodes the first `size` bytes of the file at `path`, which must be
// exactly one JPEG picture, when it is a multi-scan one. The coefficients of
// one picture are in memory at a time; the output goes to `sink` in chunks.
BaselineResult WriteAsBaseline(const std::string& path, uint64_t size, const ByteSink& sink);

}  // namespace tarnpack
