// Shows made from a folder: which files become slides and sounds, in which
// order, what the show description says, and the dates photos were taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "exif_date.h"
#include "folder_show.h"
#include "media_kind.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "platform/kernel/profile_text.h"
#include "support/exif_writer.h"

namespace {

using namespace tarn::test;
using namespace tarnpack;
namespace fs = std::filesystem;

// The smallest file that starts like a JPEG: SOI, then the end.
const std::string kJpegStart = std::string("\xFF\xD8\xFF\xD9", 4);

TEST(FolderShowNames, NaturalOrderCountsNumbersAndIgnoresCase) {
    std::vector<std::string> names{"img10.jpg", "IMG2.jpg", "img1.jpg", "img02b.jpg", "a.jpg",
                                   "img2.jpg",  "img002.jpg", "Img1.jpg", "img1a.jpg", "img9999999999999999999.jpg"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "Img1.jpg", "img1.jpg", "img1a.jpg", "IMG2.jpg",
                                               "img002.jpg", "img2.jpg", "img02b.jpg", "img10.jpg",
                                               "img9999999999999999999.jpg"}));
    // A strict order: never both ways, never a name before itself.
    for (const std::string& a : names) {
        EXPECT_FALSE(NaturalLess(a, a)) << a;
        for (const std::string& b : names) EXPECT_FALSE(NaturalLess(a, b) && NaturalLess(b, a)) << a << " " << b;
    }
}

TEST(FolderShowNames, KindsByExtensionInAnyCase) {
    EXPECT_EQ(KindOfFile("IMG_0042.JPG"), MediaKind::Picture);
    EXPECT_EQ(KindOfFile("scan.tiff"), MediaKind::Picture);
    EXPECT_EQ(KindOfFile("holiday.Mp4"), MediaKind::Clip);
    EXPECT_EQ(KindOfFile("voice.wav"), MediaKind::Sound);
    EXPECT_EQ(KindOfFile("tune.ogg"), MediaKind::Sound);
    EXPECT_EQ(KindOfFile("notes.txt"), MediaKind::Other);
    EXPECT_EQ(KindOfFile("jpg"), MediaKind::Other) << "no extension";
    EXPECT_EQ(KindOfFile(".jpg"), MediaKind::Other) << "a hidden file's name is no extension";
    EXPECT_EQ(KindOfFile("archive.jpg.gz"), MediaKind::Other);
}

TEST(ExifDates, TheDateTakenIsReadInEitherByteOrderAndOnlyWhenSet) {
    ScratchFolder scratch;
    const std::string little = scratch.outside() + "/little.jpg", big = scratch.outside() + "/big.jpg";
    WriteBytes(little, WithExifDate(kJpegStart, "2001:02:03 04:05:06"));
    WriteBytes(big, WithExifDate(kJpegStart, "1999:12:31 23:59:58", true));
    EXPECT_EQ(ExifDateTaken(little), "2001:02:03 04:05:06");
    EXPECT_EQ(ExifDateTaken(big), "1999:12:31 23:59:58");

    // Cameras without a clock write zeros or blanks: no date.
    WriteBytes(little, WithExifDate(kJpegStart, "0000:00:00 00:00:00"));
    EXPECT_EQ(ExifDateTaken(little), "");
    WriteBytes(little, WithExifDate(kJpegStart, "    :  :     :  :  "));
    EXPECT_EQ(ExifDateTaken(little), "");
    WriteBytes(little, kJpegStart);
    EXPECT_EQ(ExifDateTaken(little), "") << "no EXIF block";
    WriteBytes(little, "not a jpeg at all");
    EXPECT_EQ(ExifDateTaken(little), "");
    EXPECT_EQ(ExifDateTaken(scratch.outside() + "/absent.jpg"), "");

    // Every cut of the block reads as no date, never past its end.
    const std::string whole = WithExifDate(kJpegStart, "2001:02:03 04:05:06");
    const std::string tiff = whole.substr(4 + 2 + 6, whole.size() - 2 - (4 + 2 + 6));
    for (size_t size = 0; size + 1 < tiff.size(); ++size) {
        const std::string cut = tiff.substr(0, size);
        EXPECT_EQ(ExifDateFromTiff(reinterpret_cast<const unsigned char*>(cut.data()), cut.size()), "") << size;
    }
    // An offset that points outside the block.
    std::string bad = tiff;
    bad[26 + 2 + 8] = '\x7F';
    EXPECT_EQ(ExifDateFromTiff(reinterpret_cast<const unsigned char*>(bad.data()), bad.size()), "");
}

class FolderShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.outside() + "/photos";
        fs::create_directories(folder_ + "/inner");
    }
    void Put(const std::string& name, const std::string& bytes = kJpegStart) { WriteBytes(folder_ + "/" + name, bytes); }
    // Sets a file's time to noon (UTC) of a day: that day in any time zone.
    void Date(const std::string& name, std::chrono::year_month_day day) {
        const std::chrono::sys_seconds noon = std::chrono::sys_days(day) + std::chrono::hours(12);
        fs::last_write_time(folder_ + "/" + name, std::chrono::file_clock::from_sys(noon));
    }
    std::string Value(const char* section, const std::string& key) {
        return tarn::profile::FindValue(show_.description, section, key).value_or("<absent>");
    }
    std::vector<std::string> Slides() {
        std::vector<std::string> images;
        for (int i = 0;; ++i) {
            const std::string image = Value("SLIDES", "Image" + std::to_string(1000 + i));
            if (image == "<absent>") return images;
            images.push_back(image);
        }
    }
    bool Make(FolderShowOptions options, const std::string& base) {
        if (options.inputs.empty()) options.inputs = {folder_};
        return MakeFolderShow(options, base, &show_, &error_);
    }

    ScratchFolder scratch_;
    std::string folder_;
    FolderShow show_;
    std::string error_;
};

TEST_F(FolderShowTest, PicturesAndClipsBecomeSlidesWithTheSoundsOfTheirNamesAndTheRestIsListed) {
    for (const char* name : {"img10.jpg", "img2.png", "img1.JPG", "clip3.mp4", "img2.WAV", "img2.mp3", "img10.ogg",
                             "lonely.wav", "notes.txt", "tune.ogg"}) {
        Put(name);
    }
    Put("inner/deeper.jpg");
    FolderShowOptions options;
    options.music = folder_ + "/tune.ogg";
    options.delayMs = 5000;
    options.firstDelayMs = 9000;
    options.waitForSound = true;
    options.splash = true;
    ASSERT_TRUE(Make(options, folder_)) << error_;

    EXPECT_EQ(Slides(), (std::vector<std::string>{"clip3.mp4", "img1.JPG", "img2.png", "img10.jpg"}))
        << "natural order; files in folders below are not taken";
    EXPECT_EQ(Value("SLIDES", "Count"), "4");
    EXPECT_EQ(Value("SLIDES", "Sound1000"), "");
    EXPECT_EQ(Value("SLIDES", "Sound1001"), "");
    EXPECT_EQ(Value("SLIDES", "Sound1002"), "img2.mp3") << "the first in name order, in any case";
    EXPECT_EQ(Value("SLIDES", "Sound1003"), "img10.ogg");
    EXPECT_EQ(Value("SLIDES", "Delay1000"), "9000");
    EXPECT_EQ(Value("SLIDES", "Delay1001"), "<absent>");
    EXPECT_EQ(Value("OPTIONS", "AdvanceMethod"), "6");
    EXPECT_EQ(Value("OPTIONS", "DelayBetweenSlidesInMilliseconds"), "5000");
    EXPECT_EQ(Value("OPTIONS", "SoundOptions"), "32") << "the tune loops";
    EXPECT_EQ(Value("OPTIONS", "BackgroundSound"), "tune.ogg");
    EXPECT_EQ(Value("OPTIONS", "ShowSplash"), "1");
    EXPECT_NE(show_.description.find("\r\n"), std::string::npos) << "lines end in CR LF";
    EXPECT_EQ(show_.slides, 4u);

    const std::vector<std::string> expectedLeftOut{
        folder_ + "/img2.WAV (img2.mp3 is already the sound of that slide)",
        folder_ + "/lonely.wav (a sound with no picture or clip of its name)",
        folder_ + "/notes.txt (not a picture, clip or sound)"};
    std::vector<std::string> leftOut = show_.leftOut;
    std::sort(leftOut.begin(), leftOut.end());
    EXPECT_EQ(leftOut, expectedLeftOut);
}

TEST_F(FolderShowTest, WithoutOptionsTheShowGoesByKeysWithoutTuneOrSplash) {
    Put("a.jpg");
    ASSERT_TRUE(Make({}, "")) << error_;
    EXPECT_EQ(Value("OPTIONS", "AdvanceMethod"), "0");
    EXPECT_EQ(Value("OPTIONS", "DelayBetweenSlidesInMilliseconds"), "0");
    EXPECT_EQ(Value("OPTIONS", "SoundOptions"), "0");
    EXPECT_EQ(Value("OPTIONS", "BackgroundSound"), "");
    EXPECT_EQ(Value("OPTIONS", "ShowSplash"), "0");
    EXPECT_EQ(Value("SLIDES", "Delay1000"), "<absent>");
    // Without a folder to be relative to, names are whole paths.
    EXPECT_EQ(Value("SLIDES", "Image1000"), fs::path(folder_ + "/a.jpg").generic_string());
}

TEST_F(FolderShowTest, NamesAreRelativeToTheShowDescriptionsFolderWhereverTheFilesAre) {
    Put("a.jpg");
    WriteBytes(scratch_.outside() + "/tune.mp3", "tune");
    FolderShowOptions options;
    options.inputs = {folder_, scratch_.outside() + "/tune.mp3"};
    options.music = scratch_.outside() + "/tune.mp3";
    ASSERT_TRUE(Make(options, folder_ + "/inner")) << error_;
    EXPECT_EQ(Value("SLIDES", "Image1000"), "../a.jpg");
    EXPECT_EQ(Value("OPTIONS", "BackgroundSound"), "../../tune.mp3");
    EXPECT_TRUE(show_.leftOut.empty()) << "the tune is no left-over sound";
}

TEST_F(FolderShowTest, TheDateOrderTakesTheExifDateThenTheFilesTimeThenTheName) {
    Put("img1.jpg", WithExifDate(kJpegStart, "2019:06:01 12:00:00"));
    Put("img2.jpg", WithExifDate(kJpegStart, "2019:06:02 12:00:00"));
    Put("img10.jpg", WithExifDate(kJpegStart, "2001:01:01 08:00:00"));  // older than its neighbours
    Put("img11.jpg", WithExifDate(kJpegStart, "2019:06:02 12:00:00"));  // the same moment as img2
    Put("clip.mp4");  // no EXIF: its file's time, now
    Put("scan.png");  // no EXIF: the file's time
    Date("scan.png", std::chrono::year(2010) / 6 / 15);
    EXPECT_EQ(DateTaken(folder_ + "/scan.png").substr(0, 11), "2010:06:15 ");
    FolderShowOptions options;
    options.order = SlideOrder::Date;
    ASSERT_TRUE(Make(options, folder_)) << error_;
    EXPECT_EQ(Slides(), (std::vector<std::string>{"img10.jpg", "scan.png", "img1.jpg", "img2.jpg", "img11.jpg",
                                                  "clip.mp4"}));

    options.order = SlideOrder::Name;
    ASSERT_TRUE(Make(options, folder_)) << error_;
    EXPECT_EQ(Slides(), (std::vector<std::string>{"clip.mp4", "img1.jpg", "img2.jpg", "img10.jpg", "img11.jpg",
                                                  "scan.png"}));
}

TEST_F(FolderShowTest, ListsOfFilesAndTheirErrors) {
    Put("b.jpg");
    Put("a.jpg");
    Put("a.wav");
    FolderShowOptions options;
    options.inputs = {folder_ + "/b.jpg", folder_ + "/a.jpg", folder_ + "/a.wav", folder_ + "/b.jpg"};
    ASSERT_TRUE(Make(options, folder_)) << error_;
    EXPECT_EQ(Slides(), (std::vector<std::string>{"a.jpg", "b.jpg"})) << "a file named twice is one slide";
    EXPECT_EQ(Value("SLIDES", "Sound1000"), "a.wav");

    options.inputs = {folder_ + "/a.jpg", folder_ + "/gone.jpg"};
    EXPECT_FALSE(Make(options, folder_));
    EXPECT_NE(error_.find(folder_ + "/gone.jpg"), std::string::npos) << error_;

    options.inputs = {folder_ + "/a.wav"};
    EXPECT_FALSE(Make(options, folder_));
    EXPECT_NE(error_.find("no pictures or clips"), std::string::npos) << error_;

    options.inputs = {folder_ + "/a.jpg"};
    options.music = folder_ + "/gone.mp3";
    EXPECT_FALSE(Make(options, folder_));
    EXPECT_NE(error_.find("gone.mp3"), std::string::npos) << error_;
}

TEST_F(FolderShowTest, NamesTheShowDescriptionCouldNotGiveBackAreLeftOut) {
    Put("a.jpg");
    Put(" blank.jpg");
    Put("'quoted.jpg'");
    ASSERT_TRUE(Make({}, folder_)) << error_;
    EXPECT_EQ(Slides(), (std::vector<std::string>{"a.jpg"}));
    ASSERT_EQ(show_.leftOut.size(), 2u);
    for (const std::string& line : show_.leftOut) {
        EXPECT_NE(line.find("cannot be written in a show description"), std::string::npos) << line;
    }
}

}  // namespace
