// The sample show description, as a package carries it, in CR LF lines.
#pragma once

#include <string>

namespace tarn::test {

inline std::string SampleShowDescription() {
    return "[OPTIONS]\r\n"
           "AdvanceMethod=6\r\n"
           "ViewOptions=8\r\n"
           "SoundOptions=32\r\n"
           "BackgroundColor=0,0,0\r\n"
           "BackgroundSound=\r\n"
           "DelayBetweenSlidesInMilliseconds=6000\r\n"
           "ShowSplash=0\r\n"
           "\r\n"
           "[SLIDES]\r\n"
           "Count=8\r\n"
           "Image1000=P1000.jpg\r\n"
           "Sound1000=\r\n"
           "Image1001=P1001.jpg\r\n"
           "Sound1001=\r\n"
           "Image1002=P1002.jpg\r\n"
           "Sound1002=\r\n"
           "Image1003=P1003.jpg\r\n"
           "Sound1003=\r\n"
           "Image1004=P1004.jpg\r\n"
           "Sound1004=\r\n"
           "Image1005=P1005.jpg\r\n"
           "Sound1005=\r\n"
           "Image1006=P1006.jpg\r\n"
           "Sound1006=\r\n"
           "Image1007=P1007.jpg\r\n";
}

}  // namespace tarn::test
