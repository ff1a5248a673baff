// The real movies the FFmpeg movie source is tested with, made on first use
// (TestMedia.h). All small: 160 x 120 pictures at 25 frames per second and a
// second or two of sound.
#pragma once

#include "TestMedia.h"

#include "quicktime/QtTypes.h"

#include <string>

namespace Qel::Testing {

struct TestMovie {
    const char* name;
    std::string (*path)();
    QtOSType mediaType;
    QtOSType compressionType;
    int timeScale;
    // The lowest acceptable PSNR of our pictures against ffmpeg's own decode
    // to the same pixel format (1000: identical).
    double pictureMinimumPsnr;
    int soundPacketFrames;  // one packet of the sound stream
    // Largest difference of a PCM sample from ffmpeg's decode and after a
    // seek (a decoder restarted near the start of AAC differs slightly).
    int soundTolerance;
    // Whether sound is placed sample-exactly after a seek. Not yet for MP3
    // in AVI and MP2 in MPEG program streams, whose packets after a seek
    // carry times that place the sound off by up to a packet.
    bool soundPlacedExactly;
};

inline const std::string kPictures = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 ";
inline const std::string kTone = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 ";

inline std::string h264Mp4()
{
    return testMedia("h264.mp4", kPictures + kTone +
                                     "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac -ac 2 -metadata title=Harbour");
}
inline std::string yuvsMov()
{
    return testMedia("yuvs.mov", kPictures + kTone + "-c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16le -ac 2");
}
inline std::string mjpegMov()
{
    return testMedia("mjpeg.mov", kPictures + kTone + "-c:v mjpeg -q:v 3 -c:a pcm_s16be -ac 2");
}
inline std::string mpeg4Avi()
{
    return testMedia("mpeg4.avi", kPictures + kTone + "-c:v mpeg4 -g 12 -c:a libmp3lame -ac 2");
}
inline std::string mpeg2Mpg()
{
    return testMedia("mpeg2.mpg", kPictures + kTone + "-c:v mpeg2video -bf 2 -g 12 -c:a mp2 -ac 2 -f vob");
}

inline const TestMovie kTestMovies[] = {
    {"H264Mp4", h264Mp4, fourCc('v', 'i', 'd', 'e'), fourCc('a', 'v', 'c', '1'), 12800, 1000, 1024, 4, true},
    {"YuvsMov", yuvsMov, fourCc('v', 'i', 'd', 'e'), fourCc('y', 'u', 'v', 's'), 12800, 1000, 1024, 0, true},
    {"MjpegMov", mjpegMov, fourCc('v', 'i', 'd', 'e'), fourCc('j', 'p', 'e', 'g'), 12800, 45, 1024, 0, true},
    {"Mpeg4Avi", mpeg4Avi, fourCc('v', 'i', 'd', 'e'), fourCc('m', 'p', '4', 'v'), 25, 1000, 1152, 1, false},
    {"Mpeg2Mpg", mpeg2Mpg, fourCc('m', '1', 'v', ' '), fourCc('m', 'p', '2', 'v'), 90000, 1000, 1152, 1, false},
};

// Every channel of a 5.1 stream (FL FR FC LFE BL BR) carries a tone of its
// own, at the given amplitude.
inline const double kSurroundTones[6] = {300, 400, 500, 60, 700, 800};
inline std::string surroundMov(double amplitude)
{
    std::string expressions;
    for (double tone : kSurroundTones) {
        if (!expressions.empty())
            expressions += "|";
        expressions += std::to_string(amplitude) + "*sin(2*PI*" + std::to_string(int(tone)) + "*t)";
    }
    return testMedia("surround.mov", "-f lavfi -i 'aevalsrc=" + expressions + ":c=5.1:s=48000:d=1' -c:a pcm_s16le");
}

// Pictures and two sound tracks: 440 Hz, then 660 Hz.
inline std::string twoSoundMp4()
{
    return testMedia("twosound.mp4", kPictures + kTone +
                                         "-f lavfi -i sine=frequency=660:sample_rate=44100:duration=2 "
                                         "-map 0 -map 1 -map 2 -c:v libx264 -c:a aac");
}

} // namespace Qel::Testing
