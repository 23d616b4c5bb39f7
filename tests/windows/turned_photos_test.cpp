// Photos whose EXIF orientation says the camera was held turned: the size
// the graph reports is the upright one, and the picture is shown upright,
// whether it is decoded when shown or ahead of time. A tag that is absent,
// 1 or malformed leaves the picture as stored.
#include <gtest/gtest.h>

#include <wincodec.h>

#include <string>
#include <tuple>
#include <vector>

#include "kernel/scratch_folder.h"
#include "platform/graph.h"
#include "media/media_player.h"
#include "platform/win32.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/picture_decode.h"
#include "platform/windows/picture_window.h"
#include "platform/windows/prepared_pictures.h"
#include "show/show_record.h"

namespace {

namespace media = tarn::media;
using tarn::ComRef;
using tarn::DecodedPictureCount;
using tarn::FittedPictureSize;
using tarn::PictureIsPrepared;
using tarn::PictureSize;
using tarn::PictureWindow;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A JPEG made by the imaging component's encoder, of `width` x `height`
// pixels whose (x, y) has the colour rgb(x, y) (0xRRGGBB).
template <class Colour>
std::string EncodeJpeg(int width, int height, Colour rgb) {
    ComRef<IWICImagingFactory> factory = tarn::NewImagingFactory();
    ComRef<IStream> stream;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (!factory || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Put(), options.Put())) ||
        FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)))) {
        return {};
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) return {};
    const UINT stride = static_cast<UINT>(width) * 3;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = rgb(x, y);
            BYTE* p = &rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            p[0] = static_cast<BYTE>(colour & 0xFF);
            p[1] = static_cast<BYTE>((colour >> 8) & 0xFF);
            p[2] = static_cast<BYTE>((colour >> 16) & 0xFF);
        }
    }
    if (FAILED(frame->WritePixels(static_cast<UINT>(height), stride,
                                  static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return {};
    }
    ULARGE_INTEGER end{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end)) ||
        FAILED(GetHGlobalFromStream(stream.Get(), &memory))) {
        return {};
    }
    const void* bytes = GlobalLock(memory);
    if (bytes == nullptr) return {};
    std::string out(static_cast<const char*>(bytes), static_cast<size_t>(end.QuadPart));
    GlobalUnlock(memory);
    return out;
}

// Red left half, blue right half.
std::string HalvesJpeg(int width, int height) {
    return EncodeJpeg(width, height, [&](int x, int) { return x < width / 2 ? kRed : kBlue; });
}

// Red top left, green top right, blue bottom left, white bottom right.
std::string QuadrantJpeg(int width, int height) {
    return EncodeJpeg(width, height, [&](int x, int y) {
        const bool top = y < height / 2;
        const bool left = x < width / 2;
        return top ? (left ? kRed : kGreen) : (left ? kBlue : kWhite);
    });
}

std::string Little16(int value) { return {char(value & 0xFF), char((value >> 8) & 0xFF)}; }
std::string Big16(int value) { return {char((value >> 8) & 0xFF), char(value & 0xFF)}; }

// The TIFF block of an EXIF segment whose first directory holds one entry:
// `tag` of `type`, count 1, `value`.
std::string ExifBlock(bool little, int tag, int type, int value) {
    auto u16 = little ? Little16 : Big16;
    std::string tiff = little ? std::string("II*\0\x08\0\0\0", 8) : std::string("MM\0*\0\0\0\x08", 8);
    tiff += u16(1);
    tiff += u16(tag) + u16(type);
    tiff += little ? std::string("\x01\0\0\0", 4) : std::string("\0\0\0\x01", 4);
    tiff += u16(value) + std::string(2, '\0');
    tiff += std::string(4, '\0');  // no next directory
    return tiff;
}

// `jpeg` with an APP1 segment of `payload` right after its start marker.
std::string WithApp1(const std::string& jpeg, const std::string& payload) {
    const size_t length = payload.size() + 2;
    return jpeg.substr(0, 2) + "\xFF\xE1" + char(length >> 8) + char(length & 0xFF) + payload +
           jpeg.substr(2);
}

std::string WithOrientation(const std::string& jpeg, int orientation, bool little) {
    return WithApp1(jpeg, std::string("Exif\0\0", 6) + ExifBlock(little, 0x0112, 3, orientation));
}

// The pixel (x, y) of the window's picture; 0x123456 when there is none.
uint32_t PixelAt(const PictureWindow& window, int x, int y) {
    if (x < 0 || y < 0 || x >= window.PixelWidth() || y >= window.PixelHeight()) {
        ADD_FAILURE() << "no pixel at " << x << ", " << y;
        return 0x123456;
    }
    const unsigned char* p =
        &window.Pixels()[static_cast<size_t>((y * window.PixelWidth() + x) * 4)];
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

// The pure colour a compressed pixel stands for; 0x808080 when it is none.
uint32_t Named(uint32_t rgb) {
    auto level = [&](int shift) {
        const uint32_t v = (rgb >> shift) & 0xFF;
        return v >= 0xC0 ? 0xFFu : v <= 0x40 ? 0u : 0x80u;
    };
    const uint32_t r = level(16);
    const uint32_t g = level(8);
    const uint32_t b = level(0);
    if (r == 0x80 || g == 0x80 || b == 0x80) return 0x808080;
    return (r << 16) | (g << 8) | b;
}

struct Corners {
    uint32_t topLeft, topRight, bottomLeft, bottomRight;
    bool operator==(const Corners&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Corners& c) {
    return out << std::hex << c.topLeft << ' ' << c.topRight << ' ' << c.bottomLeft << ' '
               << c.bottomRight;
}

// Each colour inset from its corner, away from the block edges where the
// compression blends the quadrants.
Corners CornersOf(const PictureWindow& window) {
    const int right = window.PixelWidth() - 5;
    const int bottom = window.PixelHeight() - 5;
    return Corners{Named(PixelAt(window, 4, 4)), Named(PixelAt(window, right, 4)),
                   Named(PixelAt(window, 4, bottom)), Named(PixelAt(window, right, bottom))};
}

class TurnedPhotos : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        tarn::ClearPreparedPictures();
        halves = HalvesJpeg(320, 240);
        ASSERT_FALSE(halves.empty());
    }
    void TearDown() override {
        tarn::ClearPreparedPictures();
        CoUninitialize();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = scratch / name;
        WriteBytes(path, bytes);
        return path;
    }

    // Opens `path` and places it at its own (upright) size.
    std::unique_ptr<PictureWindow> ShowAtSourceSize(const std::string& path) {
        std::unique_ptr<PictureWindow> window = PictureWindow::Open(Wide(path).c_str());
        if (window) {
            EXPECT_TRUE(
                window->SetPosition(0, 0, window->SourceWidth(), window->SourceHeight()));
        }
        return window;
    }

    ScratchFolder scratch;
    std::string halves;
    const PictureSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
};

// Every orientation, in both byte orders, against where the stored
// quadrants are seen when the picture is upright.
class EveryOrientation : public TurnedPhotos,
                         public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(EveryOrientation, IsShownUprightAtTheUprightSize) {
    const auto [orientation, little] = GetParam();
    const std::string quadrants = QuadrantJpeg(96, 64);
    ASSERT_FALSE(quadrants.empty());
    const std::string path =
        Write("photo" + std::to_string(orientation) + (little ? "ii" : "mm") + ".jpg",
              WithOrientation(quadrants, orientation, little));
    std::unique_ptr<PictureWindow> window = ShowAtSourceSize(path);
    ASSERT_TRUE(window);
    const bool quarter = orientation >= 5;
    EXPECT_EQ(window->SourceWidth(), quarter ? 64 : 96);
    EXPECT_EQ(window->SourceHeight(), quarter ? 96 : 64);
    ASSERT_EQ(window->PixelWidth(), window->SourceWidth());
    ASSERT_EQ(window->PixelHeight(), window->SourceHeight());

    // Stored: red top left, green top right, blue bottom left, white bottom right.
    const Corners seen[9] = {
        {},
        {kRed, kGreen, kBlue, kWhite},   // 1: as stored
        {kGreen, kRed, kWhite, kBlue},   // 2: mirrored left to right
        {kWhite, kBlue, kGreen, kRed},   // 3: half a turn
        {kBlue, kWhite, kRed, kGreen},   // 4: mirrored top to bottom
        {kRed, kBlue, kGreen, kWhite},   // 5: mirrored on the main diagonal
        {kBlue, kRed, kWhite, kGreen},   // 6: a quarter turn clockwise
        {kWhite, kGreen, kBlue, kRed},   // 7: mirrored on the other diagonal
        {kGreen, kWhite, kRed, kBlue},   // 8: a quarter turn anticlockwise
    };
    EXPECT_EQ(CornersOf(*window), seen[orientation]);
}

INSTANTIATE_TEST_SUITE_P(OneToEight, EveryOrientation,
                         ::testing::Combine(::testing::Range(1, 9), ::testing::Bool()));

TEST_F(TurnedPhotos, ThePlayerIsToldTheUprightSizeAndSeesRedAboveOrBelow) {
    struct Case {
        int orientation;
        bool little;
        uint32_t top;
        uint32_t bottom;
    };
    for (const Case& c : {Case{6, false, kRed, kBlue}, Case{8, true, kBlue, kRed}}) {
        SCOPED_TRACE(c.orientation);
        const std::string path =
            Write("turned" + std::to_string(c.orientation) + ".jpg",
                  WithOrientation(halves, c.orientation, c.little));
        media::ComPtr<media::IGraphBuilder> graph;
        ASSERT_EQ(media::CoCreateInstance(media::CLSID_FilterGraph, nullptr,
                                          media::CLSCTX_INPROC_SERVER, media::IID_IGraphBuilder,
                                          graph.PutVoid()),
                  S_OK);
        ASSERT_EQ(graph->RenderFile(Utf16(path).c_str(), nullptr), S_OK);
        auto video = media::Query<media::IBasicVideo>(graph);
        ASSERT_TRUE(video);
        LONG width = 0;
        LONG height = 0;
        EXPECT_EQ(video->get_SourceWidth(&width), S_OK);
        EXPECT_EQ(video->get_SourceHeight(&height), S_OK);
        EXPECT_EQ(width, 240);
        EXPECT_EQ(height, 320);

        // Placed smaller than its size, as a fitted slide is.
        std::unique_ptr<PictureWindow> window = PictureWindow::Open(Wide(path).c_str());
        ASSERT_TRUE(window);
        ASSERT_TRUE(window->SetPosition(0, 0, 120, 160));
        for (int x : {10, 60, 110}) {
            EXPECT_EQ(Named(PixelAt(*window, x, 20)), c.top) << x;
            EXPECT_EQ(Named(PixelAt(*window, x, 140)), c.bottom) << x;
        }
    }
}

TEST_F(TurnedPhotos, AnAbsentFirstOrMalformedTagLeavesThePictureAsStored) {
    const std::string exif("Exif\0\0", 6);
    const std::string sixBig = ExifBlock(false, 0x0112, 3, 6);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", halves},
        {"upright", WithOrientation(halves, 1, false)},
        {"nine", WithOrientation(halves, 9, true)},
        {"long", WithApp1(halves, exif + ExifBlock(false, 0x0112, 4, 6))},
        {"byte order", WithApp1(halves, exif + "XX" + sixBig.substr(2))},
        {"cut", WithApp1(halves, exif + sixBig.substr(0, 16))},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        std::unique_ptr<PictureWindow> window = ShowAtSourceSize(Write(name + ".jpg", bytes));
        ASSERT_TRUE(window);
        EXPECT_EQ(window->SourceWidth(), 320);
        EXPECT_EQ(window->SourceHeight(), 240);
        EXPECT_EQ(Named(PixelAt(*window, 20, 120)), kRed);
        EXPECT_EQ(Named(PixelAt(*window, 300, 120)), kBlue);
    }
}

TEST_F(TurnedPhotos, ATagFollowedByLargeSegmentsIsStillRead) {
    // Two 60 kB segments after the tag put the frame header and the first
    // scan beyond the first read of the file.
    const std::string filler = "\xFF\xE2\xEA\x62" + std::string(60000, 'x');
    const std::string turned = WithOrientation(halves, 8, false);
    const size_t afterTag = 2 + 4 + 6 + 26;  // start marker, segment header, name, block
    ASSERT_EQ(turned[afterTag], '\xFF') << "a marker of the encoder's own segments";
    const std::string bytes = turned.substr(0, afterTag) + filler + filler + turned.substr(afterTag);
    std::unique_ptr<PictureWindow> window = ShowAtSourceSize(Write("long headers.jpg", bytes));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->SourceWidth(), 240);
    EXPECT_EQ(window->SourceHeight(), 320);
    EXPECT_EQ(Named(PixelAt(*window, 120, 300)), kRed);
}

TEST_F(TurnedPhotos, APreparedTurnedPhotoIsTheSameAsOneDecodedWhenShown) {
    // Taller than the screen once upright, so that both paths scale it.
    const PictureSize stored{screen.height * 2, screen.width};
    const PictureSize fitted = FittedPictureSize(PictureSize{stored.height, stored.width}, screen);
    const std::string bytes = HalvesJpeg(stored.width, stored.height);
    ASSERT_FALSE(bytes.empty());
    const std::string path = Write("large.jpg", WithOrientation(bytes, 6, true));

    // The player hints it and places the slide by the size the graph tells.
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, screen.width, screen.height,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    g_Show.Count = 0;  // no neighbours to hint
    g_Show.CurrentSlide = 0;
    media::HintUpcomingFile(path.c_str());
    ASSERT_TRUE(PictureIsPrepared(Wide(path)));
    {
        MediaPlayer player;
        const uint64_t before = DecodedPictureCount();
        ASSERT_EQ(player.ShowSlide(path.c_str(), owner), S_OK);
        EXPECT_EQ(DecodedPictureCount(), before) << "shown as prepared";
        HWND shown = FindWindowExW(owner, nullptr, L"TarnPictureWindow", nullptr);
        ASSERT_NE(shown, nullptr);
        RECT placed{};
        GetWindowRect(shown, &placed);
        EXPECT_EQ(placed.right - placed.left, fitted.width);
        EXPECT_EQ(placed.bottom - placed.top, fitted.height);
        player.Reset();
    }
    DestroyWindow(owner);

    media::HintUpcomingFile(path.c_str());
    ASSERT_TRUE(PictureIsPrepared(Wide(path)));
    uint64_t before = DecodedPictureCount();
    std::unique_ptr<PictureWindow> prepared = PictureWindow::Open(Wide(path).c_str());
    ASSERT_TRUE(prepared);
    ASSERT_TRUE(prepared->SetPosition(0, 0, fitted.width, fitted.height));
    EXPECT_EQ(DecodedPictureCount(), before);

    tarn::ClearPreparedPictures();
    before = DecodedPictureCount();
    std::unique_ptr<PictureWindow> decoded = PictureWindow::Open(Wide(path).c_str());
    ASSERT_TRUE(decoded);
    ASSERT_TRUE(decoded->SetPosition(0, 0, fitted.width, fitted.height));
    EXPECT_EQ(DecodedPictureCount(), before + 1);

    EXPECT_EQ(prepared->SourceWidth(), stored.height);
    EXPECT_EQ(prepared->SourceHeight(), stored.width);
    EXPECT_EQ(decoded->SourceWidth(), stored.height);
    EXPECT_EQ(decoded->SourceHeight(), stored.width);
    ASSERT_EQ(prepared->PixelWidth(), fitted.width);
    ASSERT_EQ(prepared->PixelHeight(), fitted.height);
    EXPECT_EQ(Named(PixelAt(*prepared, fitted.width / 2, 10)), kRed);
    EXPECT_EQ(Named(PixelAt(*prepared, fitted.width / 2, fitted.height - 10)), kBlue);
    EXPECT_TRUE(prepared->Pixels() == decoded->Pixels());
}

}  // namespace
