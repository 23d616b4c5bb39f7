// The first picture handed from the package process to the player: both
// sides in this process, the player's with its own copies of the
// descriptors, as a started program has them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "media/media_fixtures.h"
#include "media/media_test_support.h"
#include "platform/media/picture_cache.h"
#include "platform/media/still_picture.h"
#include "platform/picture_handover.h"

namespace media = tarn::media;

namespace {

constexpr const char* kVariable = "TARN_HANDED_PICTURE";
constexpr media::Size kScreen{640, 480};

struct FileKey {
    int64_t size = -1;
    int64_t modified = 0;
};

FileKey KeyOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {};
    return FileKey{info.st_size, static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

class PictureHandover : public ::testing::Test {
protected:
    void TearDown() override {
        media::EndHandingOverPicture();
        media::ClearPreparedPictures();
        unsetenv(kVariable);
    }

    // A JPEG of the test pattern in this test's folder, larger than the screen.
    std::string Photo(const std::string& name = "photo.jpg") {
        const std::string made = media_test::StillFixture("handover.jpg", 1280, 960);
        EXPECT_FALSE(made.empty());
        return folder.Write(name, media_test::ReadBytes(made));
    }

    // What the package side offers, received as a started player receives
    // it: copies of the descriptors that are its own, named in its
    // environment. False when nothing was offered.
    bool ReceiveAsAPlayer() {
        const std::string offered = media::PrepareHandoverForChild();
        if (offered.empty()) return false;
        int socket = -1;
        int memory = -1;
        const std::string prefix = std::string(kVariable) + "=";
        EXPECT_EQ(offered.rfind(prefix, 0), 0u) << offered;
        EXPECT_EQ(std::sscanf(offered.c_str() + prefix.size(), "%d,%d", &socket, &memory), 2) << offered;
        EXPECT_EQ(fcntl(socket, F_GETFD) & FD_CLOEXEC, 0) << "a copy the started program inherits";
        const std::string value = std::to_string(dup(socket)) + "," + std::to_string(dup(memory));
        media::ForgetHandoverCopies();
        EXPECT_EQ(fcntl(socket, F_GETFD), -1) << "the package process keeps no copy";
        setenv(kVariable, value.c_str(), 1);
        media::AcceptHandedPicture();
        return true;
    }

    bool Take(const std::string& path, media::Size screen, media::StillPicture* out) {
        const FileKey key = KeyOf(path);
        return media::TakeHandedPicture(path, key.size, key.modified, screen, out);
    }

    media_test::TempFolder folder;
};

TEST_F(PictureHandover, ThePlayerGetsThePictureItWouldHaveDecoded) {
    const std::string path = Photo();
    media::BeginHandingOverPicture(path.c_str(), kScreen);
    EXPECT_EQ(media::PictureBeingHandedOver(), path);
    ASSERT_TRUE(ReceiveAsAPlayer());
    EXPECT_EQ(std::getenv(kVariable), nullptr) << "the name leaves the environment once taken";

    media::StillPicture handed;
    ASSERT_TRUE(Take(path, kScreen, &handed));
    media::StillPicture decoded;
    ASSERT_EQ(media::DecodeStillPicture(path.c_str(), kScreen, &decoded), media::StillResult::Decoded);
    ASSERT_TRUE(handed.frame);
    EXPECT_EQ(handed.frame->width, 640);
    EXPECT_EQ(handed.frame->height, 480);
    EXPECT_EQ(handed.frame->data, decoded.frame->data);
    EXPECT_EQ(handed.source.width, 1280);
    EXPECT_EQ(handed.source.height, 960);
    EXPECT_EQ(handed.reducedLevel, decoded.reducedLevel);
    EXPECT_EQ(handed.orientation, decoded.orientation);
    EXPECT_EQ(handed.cutInTwo, decoded.cutInTwo);

    media::StillPicture again;
    EXPECT_FALSE(Take(path, kScreen, &again)) << "handed over once only";
}

// Another screen, another file or the same file changed: the player decodes
// it itself, and what was handed over is gone.
TEST_F(PictureHandover, OnlyTheSameFileUnchangedForTheSameScreenIsTaken) {
    const std::string path = Photo();
    media::StillPicture out;

    media::BeginHandingOverPicture(path.c_str(), kScreen);
    ASSERT_TRUE(ReceiveAsAPlayer());
    EXPECT_FALSE(Take(path, media::Size{800, 600}, &out));
    EXPECT_FALSE(Take(path, kScreen, &out)) << "a refused picture is not offered again";
    media::EndHandingOverPicture();

    media::BeginHandingOverPicture(path.c_str(), kScreen);
    ASSERT_TRUE(ReceiveAsAPlayer());
    EXPECT_FALSE(Take(Photo("other.jpg"), kScreen, &out));
    media::EndHandingOverPicture();

    media::BeginHandingOverPicture(path.c_str(), kScreen);
    ASSERT_TRUE(ReceiveAsAPlayer());
    media::EndHandingOverPicture();  // the decoding is over
    std::ofstream(path, std::ios::app) << "more";
    EXPECT_FALSE(Take(path, kScreen, &out)) << "the file changed after it was decoded";
}

// The picture cache takes the handed picture for the show's first slide: a
// file whose bytes became undecodable, with its size and time kept, still
// shows the picture decoded from it before.
TEST_F(PictureHandover, TheCacheUsesTheHandedPictureInsteadOfDecoding) {
    const std::string path = Photo();
    const FileKey before = KeyOf(path);
    media::BeginHandingOverPicture(path.c_str(), kScreen);
    ASSERT_TRUE(ReceiveAsAPlayer());
    media::EndHandingOverPicture();
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0);
        file << "garbage!";
    }
    const timespec times[2] = {{0, UTIME_OMIT},
                               {static_cast<time_t>(before.modified / 1'000'000'000),
                                static_cast<long>(before.modified % 1'000'000'000)}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(KeyOf(path).modified, before.modified);

    media::StillPicture shown;
    ASSERT_EQ(media::DecodeStillPictureCached(path, kScreen, &shown), media::StillResult::Decoded);
    ASSERT_TRUE(shown.frame);
    EXPECT_EQ(shown.frame->width, 640);
    media::StillPicture direct;
    EXPECT_NE(media::DecodeStillPicture(path.c_str(), kScreen, &direct), media::StillResult::Decoded)
        << "the file itself no longer decodes";
}

// Only a whole JPEG named as one is decoded ahead; a JPEG that turns out
// broken is simply not handed over, and the player is told so at once.
TEST_F(PictureHandover, OtherFilesAreNotHandedOver) {
    const std::string png = folder.Write("still.png", media_test::ReadBytes(media_test::StillFixture("still.png", 320, 240)));
    media::BeginHandingOverPicture(png.c_str(), kScreen);
    EXPECT_EQ(media::PictureBeingHandedOver(), "");
    EXPECT_EQ(media::PrepareHandoverForChild(), "");
    media::EndHandingOverPicture();

    const std::string whole = media_test::ReadBytes(Photo());
    const std::string cut = folder.Write("cut.jpg", whole.substr(0, whole.size() / 2));
    media::BeginHandingOverPicture(cut.c_str(), kScreen);
    ASSERT_TRUE(ReceiveAsAPlayer());
    media::StillPicture out;
    EXPECT_FALSE(Take(cut, kScreen, &out));
}

// A name in the environment that no package process put there: descriptors
// that are not what one hands over are left alone, and nothing is taken.
TEST_F(PictureHandover, ForeignDescriptorsInTheEnvironmentAreLeftAlone) {
    const std::string path = Photo();
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    const std::string both = std::to_string(pipeEnds[0]) + "," + std::to_string(file);
    for (const std::string& value : {std::string("x"), std::string("3"), std::string("-1,2"), std::string(",4"),
                                     std::to_string(file) + "," + std::to_string(file), both, both + ","}) {
        setenv(kVariable, value.c_str(), 1);
        media::AcceptHandedPicture();
        EXPECT_EQ(std::getenv(kVariable), nullptr) << value;
        media::StillPicture out;
        EXPECT_FALSE(Take(path, kScreen, &out)) << value;
    }
    EXPECT_NE(fcntl(file, F_GETFD), -1) << "still open";
    EXPECT_NE(fcntl(pipeEnds[0], F_GETFD), -1) << "still open";
    close(file);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
