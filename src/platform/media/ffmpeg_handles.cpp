#include "platform/media/ffmpeg_handles.h"

#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace tarn::media::ff {

void QuietLogging() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

FormatPtr OpenInput(const char* path) {
    QuietLogging();
    AVFormatContext* context = nullptr;
    // Bound the probing so a hostile file cannot make the open itself slow.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "probesize", "5000000", 0);
    const int result = avformat_open_input(&context, path, nullptr, &options);
    av_dict_free(&options);
    if (result < 0) return nullptr;  // the context is freed on failure
    return FormatPtr(context);
}

}  // namespace tarn::media::ff
