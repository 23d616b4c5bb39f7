// Test media, made at test time with the ffmpeg tool (and jpegtran for the
// progressive JPEG) into a cache folder of the build tree, so each file is
// made once for all the test processes that use it.
#pragma once

#include <string>

namespace media_test {

// The path of fixture `name` (its extension tells the format), made with
// `ffmpegArguments` (inputs and codec options, no output) if not there yet.
// Empty when it cannot be made.
std::string Fixture(const std::string& name, const std::string& ffmpegArguments);

// A still picture `width` x `height` of ffmpeg's test pattern.
std::string StillFixture(const std::string& name, int width, int height);
// A picture whose left half is red and right half blue.
std::string HalvesJpeg();
// The progressive form of a JPEG fixture.
std::string ProgressiveJpeg();
// A sine tone of `seconds` at `hertz`.
std::string ToneFixture(const std::string& name, double seconds, int hertz = 440);
// A clip 160 x 120: red for `redSeconds`, then blue for `blueSeconds`,
// with a tone when `withSound`.
std::string ClipFixture(const std::string& name, const std::string& codecs, bool withSound,
                        double redSeconds = 0.5, double blueSeconds = 0.5);

// Reads and writes whole files.
std::string ReadBytes(const std::string& path);

}  // namespace media_test
