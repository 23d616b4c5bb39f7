// Still pictures decoded ahead of time. The player hints the files it will
// show next; one worker thread, in an apartment of its own, decodes each
// with the imaging component, upright and scaled to the size the player
// will place it at on the screen, so that a slide change only puts ready pixels in the
// picture window. The three pictures used or prepared last are kept (the
// current one and its neighbours); older ones are let go.
//
// A kept picture is handed out only while its file still has the size and
// last-write time it had when it was decoded. A picture the worker is
// decoding is waited for; one still waiting its turn is left to the caller.
// One picture at most is decoded at any time: the worker starts nothing
// while a caller decodes a picture that was not prepared.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/windows/picture_decode.h"

namespace tarn {

// The size and last-write time of a regular file.
struct FileStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;  // 100 ns units since 1601
    bool operator==(const FileStamp&) const = default;
};
bool ReadFileStamp(const std::wstring& path, FileStamp* stamp);

struct PreparedPicture {
    std::wstring path;
    FileStamp stamp;
    PictureLayout layout;  // as stored; placed by its upright size
    PictureSize fitted;    // the size of `pixels`, upright
    PixelRows pixels;
};

// Queues `path` for decoding, fitted to `screen`, unless it is kept or on
// its way already. Files the imaging component does not read are passed
// over by the worker.
void PreparePicture(const std::wstring& path, PictureSize screen);

// The kept picture of `path` whose file is unchanged since it was decoded,
// after waiting for the worker when it is decoding `path`; nothing
// otherwise (a queued request for `path` is dropped: the caller decodes it).
std::shared_ptr<const PreparedPicture> TakePreparedPicture(const std::wstring& path);

// Held by a caller while it decodes a picture itself: waits for the
// worker's current picture, and keeps the worker from starting another.
class ForegroundDecode {
public:
    ForegroundDecode();
    ~ForegroundDecode();
    ForegroundDecode(const ForegroundDecode&) = delete;
    ForegroundDecode& operator=(const ForegroundDecode&) = delete;
};

// Ends the worker (after the picture it is decoding) and lets every kept
// picture go. Later requests start a new worker.
void ClearPreparedPictures();

// For tests: waits until nothing is queued or being decoded, then tells
// how many pictures are kept, and whether one for `path` is among them.
size_t PreparedPictureCount();
bool PictureIsPrepared(const std::wstring& path);

}  // namespace tarn
