#include "media/media_fixtures.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace media_test {

namespace fs = std::filesystem;

namespace {

fs::path CacheFolder() {
    const fs::path folder = fs::path(TARN_BINARY_DIR) / "media-fixtures";
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return folder;
}

// A unique name beside `final` with the same extension, for an atomic rename.
fs::path PartName(const fs::path& final) {
    return final.parent_path() /
           (final.stem().string() + ".part" + std::to_string(getpid()) + final.extension().string());
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace

std::string Fixture(const std::string& name, const std::string& ffmpegArguments) {
    const fs::path final = CacheFolder() / name;
    if (fs::exists(final)) return final.string();
    const fs::path part = PartName(final);
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y " + ffmpegArguments +
                                " '" + part.string() + "'";
    if (!Run(command) || !fs::exists(part)) return {};
    std::error_code error;
    fs::rename(part, final, error);
    return error ? std::string() : final.string();
}

std::string StillFixture(const std::string& name, int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    return Fixture(name, "-f lavfi -i testsrc2=s=" + size + ":d=1 -frames:v 1 -update 1");
}

std::string HalvesJpeg() {
    return Fixture("halves.jpg",
                   "-f lavfi -i color=c=red:s=320x240:d=1 -f lavfi -i color=c=blue:s=160x240:d=1 "
                   "-filter_complex [0][1]overlay=160:0 -frames:v 1 -update 1 -q:v 2");
}

std::string ProgressiveJpeg() {
    const std::string baseline = StillFixture("baseline.jpg", 320, 240);
    const fs::path final = CacheFolder() / "progressive.jpg";
    if (fs::exists(final)) return final.string();
    if (baseline.empty()) return {};
    const fs::path part = PartName(final);
    if (!Run("jpegtran -progressive -outfile '" + part.string() + "' '" + baseline + "'")) return {};
    std::error_code error;
    fs::rename(part, final, error);
    return error ? std::string() : final.string();
}

std::string ToneFixture(const std::string& name, double seconds, int hertz) {
    std::ostringstream args;
    args << "-f lavfi -i sine=frequency=" << hertz << ":sample_rate=44100:duration=" << seconds;
    return Fixture(name, args.str());
}

std::string ClipFixture(const std::string& name, const std::string& codecs, bool withSound,
                        double redSeconds, double blueSeconds) {
    std::ostringstream args;
    args << "-f lavfi -i color=c=red:s=160x120:r=25:d=" << redSeconds
         << " -f lavfi -i color=c=blue:s=160x120:r=25:d=" << blueSeconds;
    if (withSound) args << " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" << redSeconds + blueSeconds;
    args << " -filter_complex [0][1]concat=n=2:v=1:a=0[v] -map [v]";
    if (withSound) args << " -map 2:a";
    args << " -pix_fmt yuv420p " << codecs;
    return Fixture(name, args.str());
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace media_test
