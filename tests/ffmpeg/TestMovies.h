// The real movies the FFmpeg movie source is tested with, made on first use
// (TestMedia.h). All small: 160 x 120 pictures at 25 frames per second and a
// second or two of sound.
#pragma once

#include "TestMedia.h"

#include "quicktime/QtTypes.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <unistd.h>

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
};

inline void PrintTo(const TestMovie& movie, std::ostream* out)
{
    *out << movie.name;
}

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
    {"H264Mp4", h264Mp4, fourCc('v', 'i', 'd', 'e'), fourCc('a', 'v', 'c', '1'), 12800, 1000, 1024, 4},
    {"YuvsMov", yuvsMov, fourCc('v', 'i', 'd', 'e'), fourCc('y', 'u', 'v', 's'), 12800, 1000, 1024, 0},
    {"MjpegMov", mjpegMov, fourCc('v', 'i', 'd', 'e'), fourCc('j', 'p', 'e', 'g'), 12800, 45, 1024, 0},
    {"Mpeg4Avi", mpeg4Avi, fourCc('v', 'i', 'd', 'e'), fourCc('m', 'p', '4', 'v'), 1000, 1000, 1152, 1},
    {"Mpeg2Mpg", mpeg2Mpg, fourCc('m', '1', 'v', ' '), fourCc('m', 'p', '2', 'v'), 90000, 1000, 1152, 1},
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

// A QuickTime movie whose user data holds a 'ctyp' item of ctyp (four
// characters). ffmpeg writes no such item: the title item of an ffmpeg-made
// movie, 20 bytes, is rewritten in place as a 12-byte 'ctyp' atom and an
// 8-byte 'free' atom.
inline std::string contentTypeMov(const std::string& ctyp)
{
    const std::string source = testMedia("titled.mov", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=0.2 "
                                                       "-c:v mjpeg -metadata title=abcdefgh");
    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t title = bytes.find("\xA9nam");
    if (source.empty() || title == std::string::npos || title < 4)
        return {};
    const std::string atoms = std::string("\0\0\0\x0C" "ctyp", 8) + ctyp + std::string("\0\0\0\x08" "free", 8);
    bytes.replace(title - 4, atoms.size(), atoms);
    // Written under a name of this process and renamed: test processes
    // running side by side never read a half-written file.
    const std::string path = source.substr(0, source.size() - 4) + "-" + ctyp + ".mov";
    const std::string partial = path + "." + std::to_string(getpid());
    std::ofstream(partial, std::ios::binary) << bytes;
    return std::rename(partial.c_str(), path.c_str()) == 0 ? path : std::string();
}

} // namespace Qel::Testing
