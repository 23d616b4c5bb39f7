// What the player removes of the sound library's runtime folders: only new,
// empty folders of this user made while it opened the sound device, and the
// links to them; and where it looks, from the environment as the library
// reads it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "platform/sdl/sound_library_leftovers.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "tarn-sound-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() { fs::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Sets or removes environment variables while it lives.
class Environment {
public:
    explicit Environment(const std::map<std::string, std::optional<std::string>>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(SoundLibraryLeftovers, OnlyNewEmptyFoldersAndTheLinksToThemGo) {
    Scratch scratch;
    const std::string temp = scratch.path() + "/tmp";
    const std::string links = scratch.path() + "/config/pulse";
    fs::create_directories(temp);
    fs::create_directories(links);
    fs::create_directory(temp + "/pulse-OldAndEmpty1");
    fs::create_symlink(temp + "/pulse-OldAndEmpty1", links + "/old-runtime");

    const SoundLibraryLeftovers leftovers({temp, {scratch.path() + "/absent", links}});
    // What the library and others make while the device opens.
    fs::create_directory(temp + "/pulse-NewAndEmpty1");
    fs::create_symlink(temp + "/pulse-NewAndEmpty1", links + "/0123abcd-runtime");
    fs::create_directory(temp + "/pulse-NewServer01");
    std::ofstream(temp + "/pulse-NewServer01/pid") << "42\n";
    std::ofstream(temp + "/pulse-NewPlainFile") << "a file\n";
    fs::create_directory(temp + "/other");
    fs::create_directory(scratch.path() + "/elsewhere");
    fs::create_directory_symlink(scratch.path() + "/elsewhere", temp + "/pulse-NewSymlink1");
    fs::create_symlink(temp + "/pulse-NewServer01", links + "/busy-runtime");
    std::ofstream(links + "/cookie") << "secret";

    EXPECT_EQ(leftovers.RemoveNewOnes(), std::vector<std::string>{temp + "/pulse-NewAndEmpty1"});
    EXPECT_FALSE(fs::exists(temp + "/pulse-NewAndEmpty1"));
    EXPECT_FALSE(fs::is_symlink(links + "/0123abcd-runtime"));
    // A server's folder, a file, a link, an empty folder that was there
    // before, and what is no folder of the library's stay.
    for (const char* kept : {"pulse-OldAndEmpty1", "pulse-NewServer01", "pulse-NewServer01/pid", "pulse-NewPlainFile",
                             "other"}) {
        EXPECT_TRUE(fs::exists(temp + "/" + kept)) << kept;
    }
    EXPECT_TRUE(fs::exists(scratch.path() + "/elsewhere")) << "a link's target was removed";
    EXPECT_TRUE(fs::is_symlink(temp + "/pulse-NewSymlink1"));
    EXPECT_TRUE(fs::is_symlink(links + "/old-runtime"));
    EXPECT_TRUE(fs::is_symlink(links + "/busy-runtime"));
    EXPECT_TRUE(fs::exists(links + "/cookie"));

    // Empty folders that were there before a later start stay.
    EXPECT_EQ(SoundLibraryLeftovers({temp, {links}}).RemoveNewOnes(), std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(temp + "/pulse-OldAndEmpty1"));
}

TEST(SoundLibraryLeftovers, PlacesFollowTheEnvironmentAsTheLibraryReadsIt) {
    Scratch scratch;
    {
        Environment env({{"PULSE_RUNTIME_PATH", std::nullopt},
                         {"XDG_RUNTIME_DIR", std::nullopt},
                         {"TMPDIR", "relative/tmp"},
                         {"TMP", std::nullopt},
                         {"TEMP", scratch.path()},
                         {"TEMPDIR", "/elsewhere"},
                         {"HOME", "/home/viewer"},
                         {"XDG_CONFIG_HOME", "/home/viewer/settings"}});
        const SoundLibraryPlaces places = PulseRuntimePlaces();
        EXPECT_EQ(places.temporaryFolder, scratch.path()) << "a relative TMPDIR is passed over";
        EXPECT_EQ(places.linkFolders, (std::vector<std::string>{"/home/viewer/.pulse", "/home/viewer/settings/pulse",
                                                                "/home/viewer/.config/pulse"}));
    }
    {
        Environment env({{"PULSE_RUNTIME_PATH", std::nullopt},
                         {"XDG_RUNTIME_DIR", std::nullopt},
                         {"TMPDIR", std::nullopt},
                         {"TMP", std::nullopt},
                         {"TEMP", std::nullopt},
                         {"TEMPDIR", std::nullopt}});
        EXPECT_EQ(PulseRuntimePlaces().temporaryFolder, "/tmp");
    }
    // With a runtime folder, even an empty setting, the library makes
    // nothing in the temporary folder, and nothing is watched there.
    for (const char* set : {"XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH"}) {
        const char* other = std::string(set) == "XDG_RUNTIME_DIR" ? "PULSE_RUNTIME_PATH" : "XDG_RUNTIME_DIR";
        Environment env({{set, ""}, {other, std::nullopt}});
        EXPECT_EQ(PulseRuntimePlaces().temporaryFolder, "") << set;
    }
}

}  // namespace
}  // namespace tarn
