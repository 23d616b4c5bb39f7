#include "soak/soak_media.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarn::test {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

bool Ffmpeg(const std::string& arguments, const std::string& output) {
    if (Exists(output)) return true;
    // Made under another name first: a test process that stops half-way
    // never leaves a half-made file under the real one.
    const std::string partial = output + ".part" + std::filesystem::path(output).extension().string();
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " '" +
                                partial + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !Exists(partial)) return false;
    std::filesystem::rename(partial, output);
    return true;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

bool MakeSoakMedia(const std::string& folder, SoakMedia* media, std::string* error) {
    std::filesystem::create_directories(folder);
    const auto at = [&](const std::string& name) { return folder + "/" + name; };
    const struct {
        const char* name;
        const char* arguments;
    } made[] = {
        {"still.jpg", "-f lavfi -i testsrc=size=64x48:rate=1 -frames:v 1"},
        {"still.png", "-f lavfi -i testsrc2=size=48x64:rate=1 -frames:v 1"},
        {"wide.jpg", "-f lavfi -i smptebars=size=640x240:rate=1 -frames:v 1"},
        {"clip.mp4",
         "-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 -f lavfi -i sine=frequency=330:duration=0.4 "
         "-c:v mpeg4 -c:a aac -shortest"},
        {"tone.wav", "-f lavfi -i sine=frequency=660:duration=0.3 -c:a pcm_s16le"},
        {"tune.wav", "-f lavfi -i sine=frequency=220:duration=1.1 -c:a pcm_s16le"},
    };
    for (const auto& file : made) {
        if (!Ffmpeg(file.arguments, at(file.name))) {
            *error = std::string("the ffmpeg tool could not make ") + file.name;
            return false;
        }
    }

    // Damaged files: a picture of noise, an empty one, a clip and a sound
    // cut short, a sound whose header promises more than follows.
    std::string noise(4096, '\0');
    uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    Write(at("noise.jpg"), std::string("\xff\xd8\xff\xe0", 4) + noise);
    Write(at("empty.png"), "");
    const std::string clip = Read(at("clip.mp4"));
    Write(at("cut.mp4"), clip.substr(0, clip.size() / 3));
    const std::string tone = Read(at("tone.wav"));
    Write(at("cut.wav"), tone.substr(0, 60));

    media->folder = folder;
    media->pictures = {"still.jpg", "clip.mp4", "missing.jpg", "still.png", "noise.jpg",
                       "wide.jpg",  "empty.png", "cut.mp4",    "missing.mp4"};
    media->sounds = {"tone.wav", "missing.wav", "cut.wav", "clip.mp4"};
    media->tune = "tune.wav";
    return true;
}

}  // namespace tarn::test
