// Real movies of many kinds through the plug-in module, every picture and
// every sound sample against ffprobe's times and ffmpeg's own decode: the
// containers and codecs whose timing the runtime derives itself (pictures
// reordered without composition times, sound counted in bytes, tracks that
// start apart). Movie time 0 is the earliest start of any stream.
#include "FfmpegMovie.h"
#include "FfmpegOracle.h"
#include "FfmpegSampleTable.h"
#include "formats/mp4/FfmpegMp4Timing.h"
#include "timing/FfmpegPacketScan.h"
#include "ModuleSession.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

constexpr size_t kYuyvBytes = 160 * 120 * 2;  // the pictures of the sources below

struct OracleMovie {
    const char* name;
    const char* file;        // its extension names the container
    const char* arguments;   // the ffmpeg arguments after the sources
    int soundTolerance;      // largest difference of a PCM sample from ffmpeg's decode
    // Where set, the movie is the one made from the arguments, cut from this
    // input option on without decoding (an edit list in QuickTime and MP4).
    const char* cut = nullptr;
    // Below 1: the movie is this first share of the made file's bytes, as a
    // recording cut short leaves it.
    double keptShare = 1;
};

void PrintTo(const OracleMovie& movie, std::ostream* out) { *out << movie.name; }

const std::string kSources = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 "
                             "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 ";

const OracleMovie kOracleMovies[] = {
    // AVI keeps no composition times: the runtime orders reordered pictures.
    {"Mpeg4BFramesAvi", "mpeg4-bframes.avi", "-c:v mpeg4 -bf 2 -g 12 -c:a libmp3lame -ac 2", 1},
    {"H264BFramesAvi", "h264-bframes.avi", "-c:v libx264 -bf 3 -g 12 -pix_fmt yuv420p -c:a pcm_s16le -ac 2", 0},
    // H.264 in open groups of pictures: the pictures shown just before a key
    // frame are decoded after it, from references of the group before (the
    // MPEG-4 Part 2 groups above are open too, as ffmpeg makes them). With
    // long runs of B pictures, FFmpeg's decoder holds back a key frame it
    // starts at; recovery points at predicted pictures (intra refresh) are
    // no place to start.
    {"H264OpenGopAvi", "h264-open-gop.avi", "-c:v libx264 -bf 3 -g 12 -x264-params open-gop=1 -pix_fmt yuv420p "
                                            "-c:a pcm_s16le -ac 2", 0},
    {"H264OpenGopLongBAvi", "h264-open-gop-long-b.avi", "-c:v libx264 -bf 16 -g 24 -x264-params "
                                                        "open-gop=1:b-adapt=0:ref=6 -pix_fmt yuv420p -c:a pcm_s16le -ac 2", 0},
    {"H264IntraRefreshAvi", "h264-intra-refresh.avi", "-c:v libx264 -bf 3 -g 12 -x264-params open-gop=1:intra-refresh=1 "
                                                      "-pix_fmt yuv420p -c:a pcm_s16le -ac 2", 0},
    // AVI's index counts PCM in bytes.
    {"PcmStereoAvi", "pcm-stereo.avi", "-c:v mpeg4 -g 12 -c:a pcm_s16le -ac 2", 0},
    {"PcmMonoAvi", "pcm-mono.avi", "-c:v mjpeg -q:v 3 -c:a pcm_s16le -ac 1", 0},
    // AVI's header may declare more sound than its chunks hold (chunks left
    // empty where the sound's times start late, as they do beside reordered
    // pictures): the sound ends with its last chunk, as ffmpeg's decode does,
    // here after the pictures.
    {"ShortMjpegLateAacAvi", "mjpeg-late-aac.avi", "-vf trim=end=0.5 -c:v mjpeg -q:v 3 -c:a aac -ac 2 "
                                                   "-bsf:a setts=ts=TS+4", 4},
    // Sound that starts before the first picture.
    {"Mpeg2ProgramStream", "sound-first.mpg", "-c:v mpeg2video -bf 2 -g 12 -c:a mp2 -ac 2", 1},
    {"H264TransportStream", "sound-first.ts", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac -ac 2", 4},
    {"FlashVideo", "sound-first.flv", "-c:v flv1 -g 12 -c:a libmp3lame -ac 2", 1},
    {"H264Matroska", "sound-first.mkv", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac -ac 2", 4},
    // Pictures reordered at a variable rate: a pause of half a second.
    {"VfrBFramesMp4", "vfr.mp4", "-vf setpts='N/25/TB+gte(N\\,12)*0.5/TB' -fps_mode passthrough -c:v libx264 -bf 2 "
                                 "-g 12 -pix_fmt yuv420p -c:a aac -ac 2", 4},
    // Reordered at a variable rate with even decoding steps: the pictures
    // last 20 and 30 ms in turn, which only the composition offsets tell.
    {"EvenDecodingStepsVfrMp4", "vfr-even-steps.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                      "-bsf:v setts=pts='PTS+floor(PTS/1024)*256' -c:a aac -ac 2", 4},
    // The same timing where the header's offsets take more than its sample
    // tables: negative offsets (FFmpeg shifts the decoding times), pictures
    // that start after the sound (an empty edit first), fragments (each with
    // the offsets of its own samples), fragments that a segment index
    // announces (FFmpeg indexes them only as it plays), reordered or not.
    // The fragmented reordered pictures have negative offsets: otherwise
    // ffmpeg stretches the first sound sample by the pictures' delay, a gap
    // in the sound's times (see the runtime's README).
    {"NegativeOffsetsVfrMp4", "vfr-negative-offsets.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                          "-bsf:v setts=pts='PTS+floor(PTS/1024)*256' "
                                                          "-c:a aac -ac 2 -movflags +negative_cts_offsets", 4},
    {"LateVfrPicturesMp4", "vfr-late.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                           "-bsf:v setts=pts='PTS+floor(PTS/1024)*256+3840':dts='DTS+3840' "
                                           "-c:a aac -ac 2", 4},
    {"FragmentedVfrMp4", "vfr-fragmented.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                               "-bsf:v setts=pts='PTS+floor(PTS/1024)*256' -c:a aac -ac 2 "
                                               "-movflags frag_keyframe+empty_moov+default_base_moof+negative_cts_offsets", 4},
    {"IndexedFragmentsVfrMp4", "vfr-dash.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                               "-bsf:v setts=pts='PTS+floor(PTS/1024)*256' -c:a aac -ac 2 "
                                               "-movflags dash+frag_keyframe+empty_moov+global_sidx+negative_cts_offsets", 4},
    // Fragments with B-frames and no negative offsets: ffmpeg stretches the
    // first sound packet by the pictures' delay, and a whole read plays the
    // sound back to back, as after a seek.
    {"StretchedSoundFragmentedMp4", "fragmented-stretched.mp4", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                                "-c:a aac -ac 2 -movflags frag_keyframe+empty_moov", 4},
    // DVD LPCM: ffmpeg's program stream misses one packet's time near the
    // start, which a whole read does not play either.
    {"LpcmGapDvd", "lpcm-gap.vob", "-c:v mpeg2video -bf 2 -g 12 -c:a pcm_dvd -ar 48000 -ac 2 -f dvd", 0},
    {"IndexedFragmentsMp4", "dash.mp4", "-c:v libx264 -bf 0 -g 12 -pix_fmt yuv420p -c:a aac -ac 2 "
                                        "-movflags dash+frag_keyframe+empty_moov+global_sidx", 4},
    // Cut with an edit list inside a group of pictures: the first key frame
    // comes late.
    {"EditListMp4", "cut.mp4", "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -c:a aac -ac 2", 4, "-ss 0.3"},
    // Raw DV: its own picture size, sound in every frame.
    {"DvPal", "pal.dv", "-vf scale=720:576 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -ar 48000 -ac 2 -f dv", 0},
    // NTSC DV, two seconds: longer than FFmpeg's probing reads, which stops
    // where the demuxer holds a frame's sound still to give out.
    {"DvNtsc", "ntsc.dv", "-vf loop=loop=1:size=25,scale=720:480 -af aloop=loop=1:size=44100 -r 30000/1001 "
                          "-c:v dvvideo -pix_fmt yuv411p -c:a pcm_s16le -ar 48000 -ac 2 -f dv", 0},
    // A recording cut short: the index at the end of the AVI never written.
    {"CutShortAvi", "cut-short.avi", "-c:v mpeg4 -g 12 -c:a pcm_s16le -ac 2", 0, nullptr, 0.8},
    // Frames dropped from a recording (empty chunks in the AVI): FFmpeg
    // times a picture sought after one a frame late, and so the pictures
    // after it. Two seconds, dropped one in five: a seek that lands late backs
    // off by a second, onto another picture after a dropped one.
    {"DroppedFramesAvi", "dropped-frames.avi", "-vf loop=loop=1:size=25,select='not(eq(mod(n\\,5)\\,3))' "
                                               "-af aloop=loop=1:size=44100 -fps_mode passthrough "
                                               "-c:v mjpeg -q:v 3 -c:a pcm_s16le -ac 2", 0},
    // Full-range pictures of every chroma layout take the same range rules.
    {"FullRange422Mov", "jpeg422.mov", "-c:v mjpeg -pix_fmt yuvj422p -q:v 3 -c:a pcm_s16be -ac 2", 0},
    {"FullRange444Mov", "jpeg444.mov", "-c:v mjpeg -pix_fmt yuvj444p -q:v 3 -c:a pcm_s16be -ac 2", 0},
    // An odd width: the last pixel of a row is half a pair, its own luma and
    // Cb, from every kind of source.
    {"OddWidthPng", "odd-png.mov", "-vf scale=161:91 -c:v png -pix_fmt rgb24 -c:a pcm_s16be -ac 2", 0},
    {"OddWidthJpeg420", "odd-jpeg420.avi", "-vf scale=161:91 -c:v mjpeg -pix_fmt yuvj420p -c:a pcm_s16le -ac 2", 0},
    {"OddWidthRaw420", "odd-raw420.avi", "-vf scale=161:91 -c:v rawvideo -pix_fmt yuv420p -c:a pcm_s16le -ac 2", 0},
    {"OddWidthRaw422", "odd-raw422.avi", "-vf scale=161:91 -c:v rawvideo -pix_fmt yuv422p -c:a pcm_s16le -ac 2", 0},
    {"OddWidthH264444", "odd-h264.mp4", "-vf scale=161:91 -c:v libx264 -pix_fmt yuv444p -c:a aac -ac 2", 4},
    {"OddWidthYuvs", "odd-yuvs.mov", "-vf scale=161:91 -c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16be -ac 2", 0},
    // Sound whose container times include the codec's priming (Opus
    // pre-skip, Vorbis's first block, an encoder's delay), which the decoder
    // trims or keeps: every sample where ffmpeg's decode puts it. Opus
    // decoding resumed after a seek differs from the whole decode by a few
    // units (its state converges, not to the bit); a misplaced frame differs
    // by thousands.
    {"OpusWebm", "opus.webm", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -c:a libopus -ac 2", 4},
    {"VorbisWebm", "vorbis.webm", "-c:v libvpx -deadline realtime -cpu-used 8 -g 12 -c:a libvorbis -ac 2", 1},
    // Sound that starts and stops four times a second: Vorbis's short blocks
    // at each start make frames of other lengths.
    {"VorbisTransientsWebm", "vorbis-transients.webm", "-af 'aeval=val(0)*gt(mod(t\\,0.25)\\,0.15)' -c:v libvpx "
                                                     "-deadline realtime -cpu-used 8 -g 12 -c:a libvorbis -ac 2", 1},
    {"Mp3Matroska", "mp3.mkv", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a libmp3lame -ac 2", 1},
    {"FlacMatroska", "flac.mkv", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a flac -ac 2", 0},
    {"OpusOgg", "opus.ogg", "-c:v libtheora -g 12 -c:a libopus -ac 2", 4},
    {"VorbisOgg", "vorbis.ogg", "-c:v libtheora -g 12 -c:a libvorbis -ac 2", 1},
    // Picture and sound codecs of every kind, one of each per movie.
    // Reordered pictures with open groups (HEVC's CRA, MPEG-1/2 by default):
    // the pictures shown just before a key frame are decoded after it.
    {"HevcOpenGopAlacMp4", "hevc-alac.mp4", "-c:v libx265 -bf 3 -g 12 -x265-params log-level=error "
                                             "-pix_fmt yuv420p -c:a alac -ac 2", 0},
    {"Mpeg1PcmU8Mov", "mpeg1-u8.mov", "-c:v mpeg1video -bf 2 -g 12 -c:a pcm_u8 -ac 2", 0},
    {"Mpeg2Mp2Mp4", "mpeg2-mp2.mp4", "-c:v mpeg2video -bf 2 -g 12 -c:a mp2 -ac 2", 1},
    // Intra and uncompressed pictures, 10-bit and with alpha; PCM of every
    // kind. ffmpeg truncates 24-bit samples to 16 bits, the runtime rounds
    // them to the nearest.
    {"ProResPcm24BeMov", "prores-s24be.mov", "-c:v prores_ks -profile:v 2 -c:a pcm_s24be -ac 2", 1},
    {"PngAlphaPcm24LeMov", "png-s24le.mov", "-c:v png -pix_fmt rgba -c:a pcm_s24le -ac 2", 1},
    {"DnxhrFloatLeMov", "dnxhr-f32le.mov", "-vf scale=256:144 -c:v dnxhd -profile:v dnxhr_lb -pix_fmt yuv422p "
                                            "-c:a pcm_f32le -ac 2", 0},
    {"R210FloatBeMov", "r210-f32be.mov", "-c:v r210 -c:a pcm_f32be -ac 2", 0},
    {"QtRleAlawMov", "qtrle-alaw.mov", "-c:v qtrle -c:a pcm_alaw -ac 1", 0},
    {"V210MulawMov", "v210-mulaw.mov", "-c:v v210 -c:a pcm_mulaw -ac 1", 0},
    // Loud 16-bit sound (up to 7/8 of full scale) comes out as it went in.
    {"Raw10LoudPcmNut", "raw10-loud.nut", "-c:v rawvideo -pix_fmt yuv422p10le -af volume=7 -c:a pcm_s16le -ac 2", 0},
    {"H263Aac3gp", "h263-aac.3gp", "-vf scale=176:144 -c:v h263 -g 12 -c:a aac -ac 1 -ar 22050", 4},
    {"Vp9Mp3Mp4", "vp9-mp3.mp4", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -c:a libmp3lame -ac 2", 1},
    {"Av1FlacMp4", "av1-flac.mp4", "-c:v libaom-av1 -cpu-used 8 -g 12 -c:a flac -ac 2 -strict -2", 0},
    // Containers of their own: MXF, ASF (whose first data packet a byte seek
    // to its start skips).
    {"Mpeg2PcmMxf", "mpeg2-pcm.mxf", "-c:v mpeg2video -bf 2 -g 12 -c:a pcm_s16le -ar 48000 -ac 2", 0},
    {"Wmv2WmaAsf", "wmv2-wma.asf", "-c:v wmv2 -g 12 -c:a wmav2 -ac 2", 4},
    // Open groups where the header's offsets are negative (the decoding
    // times shifted back), in a scanned stream, and cut by an edit list.
    {"HevcNegativeOffsetsEac3Mp4", "hevc-negative-offsets.mp4", "-c:v libx265 -bf 3 -g 12 -x265-params log-level=error "
                                   "-pix_fmt yuv420p -movflags +negative_cts_offsets -c:a eac3 -ac 2", 16},
    {"HevcOpenGopAc3Ts", "hevc-ac3.ts", "-c:v libx265 -bf 3 -g 12 -x265-params log-level=error -pix_fmt yuv420p "
                                        "-c:a ac3 -ac 2", 16},
    {"H264OpenGopCutMp4", "h264-open-gop-cut.mp4", "-c:v libx264 -bf 3 -g 12 -x264-params open-gop=1 "
                                                   "-pix_fmt yuv420p -c:a aac -ac 2", 4, "-ss 0.3"},
    // 10-bit 4:2:2 H.264.
    {"H264High422TenBitMov", "h264-422-10.mov", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv422p10le -c:a pcm_s16le -ac 2", 0},
    // Classic QuickTime and AVI codecs; 8-bit indexed pictures, whose
    // palette FFmpeg hands out with the first packet only. swresample mixes
    // 16-bit 5.1 in fixed point, the runtime in float. QuickTime's IMA ADPCM
    // decoder keeps its more precise predictor from block to block where the
    // block's own is close: after a seek it takes a while to agree again.
    {"Cinepak51PcmMov", "cinepak-51.mov", "-c:v cinepak -af pan='5.1|FL=c0|FR=-0.6*c0|FC=0.8*c0|LFE=0.5*c0|"
                                          "BL=0.4*c0|BR=-0.3*c0' -c:a pcm_s16le", 1},
    {"Svq1ImaMov", "svq1-ima.mov", "-c:v svq1 -c:a adpcm_ima_qt -ac 2", 32},
    {"MsMpeg4AdpcmAvi", "msmpeg4-adpcm.avi", "-c:v msmpeg4v3 -c:a adpcm_ms -ac 2", 0},
    {"PaletteRawS8Mov", "palette-s8.mov", "-vf format=gray -c:v rawvideo -c:a pcm_s8 -ac 2", 0},
    {"PaletteRawU8Avi", "palette-u8.avi", "-vf format=pal8 -c:v rawvideo -c:a pcm_u8 -ac 1", 0},
    // QuickTime's 'yuv2': YUY2 with signed chroma.
    {"Yuv2SignedChromaMov", "yuv2.mov", "-c:v rawvideo -pix_fmt yuyv422 -tag:v yuv2 -c:a pcm_s16be -ac 2", 0},
    {"Y41pFloat64Mov", "y41p-f64be.mov", "-c:v y41p -c:a pcm_f64be -ac 2", 0},
    {"V308Pcm24At96kMov", "v308-96k.mov", "-c:v v308 -c:a pcm_s24be -ar 96000 -ac 2", 1},
    {"H264AacFlv", "h264-aac.flv", "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac -ar 48000 -ac 2", 8},
    // 5.1 sound, each channel at its own level, mixed down to stereo. AC-3's
    // dither and AAC's noise substitution draw from generators that a seek
    // starts afresh: after one the samples differ by a few steps.
    {"Vp9Ac3SurroundMkv", "vp9-ac3-51.mkv", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 "
                                            "-af pan='5.1(side)|FL=c0|FR=-0.6*c0|FC=0.8*c0|LFE=0.5*c0|SL=0.4*c0|SR=-0.3*c0' "
                                            "-c:a ac3", 16},
    {"MjpegAacSurroundMp4", "mjpeg-aac-51.mp4", "-c:v mjpeg -q:v 3 "
                                                "-af pan='5.1|FL=c0|FR=-0.6*c0|FC=0.8*c0|LFE=0.5*c0|BL=0.4*c0|BR=-0.3*c0' "
                                                "-c:a aac", 8},
};

// The same without pictures: the sound alone sets the movie's time 0.
const OracleMovie kSoundOnlyMovies[] = {
    {"OpusWebm", "opus-only.webm", "-vn -c:a libopus -ac 2", 4},
    {"VorbisOgg", "vorbis-only.ogg", "-vn -c:a libvorbis -ac 2", 1},
    // AVI counts a-law in bytes of one sample each. MP3 at a low variable
    // rate: a frame draws on the bits of up to eight frames before it.
    {"AlawMonoAvi", "alaw-mono-only.avi", "-vn -c:a pcm_alaw -ac 1", 0},
    {"Mp3VbrAvi", "mp3-vbr-only.avi", "-vn -c:a libmp3lame -q:a 4 -ac 2", 1},
};

// ffmpeg's decode of every picture in the plug-in's YUY2 layout, rows of
// width x 2 bytes. ffmpeg's own rows hold whole pairs; at an odd width the
// last pixel is half a pair, its luma and Cb. ffmpeg's packed conversion of
// planar 4:2:2 leaves that pixel out: there it is taken from the planes.
std::vector<uint8_t> expectedPictures(const std::string& path, size_t width, size_t height)
{
    const std::vector<uint8_t> packed = decodedPictures(path, "yuyv422");
    const size_t packedRow = (width + 1) / 2 * 4, row = width * 2;
    const size_t count = packed.size() / (packedRow * height);
    const bool planar422 = width % 2 && commandText("ffprobe -v error -select_streams v:0 -show_entries "
                                                    "stream=pix_fmt -of csv=p=0 '" + path + "'") == "yuv422p\n";
    const std::vector<uint8_t> planar = planar422 ? decodedPictures(path, "yuv422p") : std::vector<uint8_t>();
    const size_t planarPicture = (width + (width + 1) / 2 * 2) * height;
    std::vector<uint8_t> pictures(count * row * height);
    for (size_t i = 0; i < count * height; ++i) {
        uint8_t* to = pictures.data() + i * row;
        std::copy_n(packed.data() + i * packedRow, row, to);
        if (planar422 && planar.size() == count * planarPicture) {
            const uint8_t* picture = planar.data() + i / height * planarPicture;
            const size_t y = i % height;
            to[row - 2] = picture[y * width + width - 1];
            to[row - 1] = picture[width * height + y * ((width + 1) / 2) + width / 2];
        }
    }
    return pictures;
}

// The first share of a movie's bytes, as a copy cut short would hold them.
std::string truncatedCopy(const std::string& path, double share)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = path.substr(0, path.size() - 4) + "-cut" + path.substr(path.size() - 4);
    // Written under a name of this process and renamed, as TestMedia.h does.
    const std::string partial = cut + "." + std::to_string(getpid());
    std::ofstream(partial, std::ios::binary) << bytes.substr(0, size_t(double(bytes.size()) * share));
    return !bytes.empty() && std::rename(partial.c_str(), cut.c_str()) == 0 ? cut : std::string();
}

class MovieOracleTest : public ::testing::TestWithParam<OracleMovie>, protected ProbedModuleMovie {
protected:
    void SetUp() override
    {
        path = testMedia(GetParam().file, kSources + GetParam().arguments);
        if (GetParam().cut && !path.empty())
            path = testMedia(GetParam().file, std::string(GetParam().cut) + " -i '" + path + "' -c copy");
        if (GetParam().keptShare < 1 && !path.empty())
            path = truncatedCopy(path, GetParam().keptShare);
        ASSERT_NO_FATAL_FAILURE(open(path));
        yuyvBytes = size_t(movie->image().width) * size_t(movie->image().height) * 2;
        starts = streamStarts(path);
    }

    // ffprobe's frame times from the stream's start: where the container
    // keeps no presentation times (AVI), ffmpeg times the first picture by
    // its decoder's delay, but the stream's first picture is shown at its
    // start.
    double secondsIntoVideo(int64_t pts) const
    {
        return double(pts - frames[0].pts) * timeBase.num / timeBase.den;
    }
    double movieSeconds(int64_t pts) const { return secondsIntoVideo(pts) + starts.video - starts.movie(); }
    static uint32_t wholeMs(double seconds) { return uint32_t(std::floor(seconds * 1000 + 1e-6)); }
    // Frame i's start and end in whole ms of movie time, as the streams
    // truncate. The first picture keeps its own start where sound starts
    // before it.
    uint32_t frameStart(size_t i) const { return wholeMs(movieSeconds(frames[i].pts)); }
    int64_t frameEndPts(size_t i) const
    {
        return i + 1 < frames.size() ? frames[i + 1].pts : frames[i].pts + frames[i].duration;
    }
    uint32_t frameEnd(size_t i) const { return wholeMs(movieSeconds(frameEndPts(i))); }
    // A picture's own duration, truncated on its own (29.97 frames a second
    // last 33 ms each, while their truncated starts step by 33 or 34).
    uint32_t frameDuration(size_t i) const
    {
        return wholeMs(movieSeconds(frameEndPts(i)) - movieSeconds(frames[i].pts));
    }

    std::string path;
    size_t yuyvBytes = 0;
    StreamStarts starts;
};

// Every picture, in order, at ffprobe's time and with ffmpeg's decode of it;
// read backwards, the same from the last to the first.
TEST_P(MovieOracleTest, EveryPictureAtItsTime)
{
    const std::vector<uint8_t> expected = expectedPictures(path, movie->image().width, movie->image().height);
    ASSERT_EQ(expected.size(), frames.size() * yuyvBytes);
    for (int32_t speed : {1000, -1000}) {
        SCOPED_TRACE(speed > 0 ? "forwards" : "backwards");
        ASSERT_TRUE(video->setReadSpeed(speed));
        ASSERT_EQ(video->rewindStream(), kResultSuccess);
        std::vector<ReadChunk> pictures = readUntilTheEnd(video);
        if (speed < 0)
            std::reverse(pictures.begin(), pictures.end());
        ASSERT_EQ(pictures.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            EXPECT_EQ(pictures[i].startTime, frameStart(i));
            // The last picture may be held until the end its track declares.
            if (i + 1 < frames.size()) {
                EXPECT_EQ(pictures[i].duration, frameDuration(i));
            }
            ASSERT_EQ(pictures[i].bytes.size(), yuyvBytes);
            EXPECT_TRUE(std::equal(pictures[i].bytes.begin(), pictures[i].bytes.end(),
                                   expected.begin() + long(i * yuyvBytes)));
        }
        EXPECT_TRUE(video->isEndOfStream());
    }
}

// A seek to the first, a middle and the last ms of a frame lands on the
// last key frame that starts before it (the plug-in searches backward from
// the time, so a key frame's own start lands on the one before), and
// delivers its picture.
TEST_P(MovieOracleTest, SeeksAtAndInsideFrames)
{
    const std::vector<uint8_t> expected = expectedPictures(path, movie->image().width, movie->image().height);
    ASSERT_EQ(expected.size(), frames.size() * yuyvBytes);
    for (size_t i = 0; i < frames.size(); i += 4) {
        const uint32_t start = frameStart(i), end = frameEnd(i);
        for (uint32_t target : {start, (start + end) / 2, end - 1}) {
            size_t key = 0;
            for (size_t k = 0; k < frames.size() && frameStart(k) < target; ++k)
                key = frames[k].key ? k : key;
            SCOPED_TRACE("frame " + std::to_string(i) + " at " + std::to_string(target) + " ms");
            uint32_t actual = 0;
            ASSERT_EQ(video->seekStream(target, &actual, 0), kResultSuccess);
            EXPECT_EQ(actual, frameStart(key));
            const ReadChunk picture = readChunk(video);
            ASSERT_EQ(picture.bytes.size(), yuyvBytes);
            EXPECT_EQ(picture.startTime, frameStart(key));
            EXPECT_TRUE(std::equal(picture.bytes.begin(), picture.bytes.end(), expected.begin() + long(key * yuyvBytes)));
        }
    }
}

// The sound from movie time 0: silence until the sound's own start, then
// ffmpeg's decode sample by sample, as long as it; after a seek, the
// samples from the time sought. The stream lasts as long as the movie: its
// sound, or its pictures where they end later (within a picture: the last
// may be held until its track's declared end). Other containers' headers
// declare the sound's length (a QuickTime edit, a Matroska duration), which
// may differ from its decode by a frame; AVI's sound ends with its decode,
// to the millisecond.
void expectEverySoundSample(ModuleMovie& movie, const std::string& path, int tolerance, double picturesEndMs)
{
    StreamInterface* sound = movie.sounds.at(0);
    const int channels = int(movie.sound().channels);
    const int rate = movie.sound().sampleRate;
    const StreamStarts starts = streamStarts(path);
    const std::vector<int16_t> decoded = decodedSound(path, channels);
    const size_t offset = size_t(std::lround((starts.sound - starts.movie()) * rate)) * size_t(channels);
    std::vector<int16_t> expected(offset, 0);
    expected.insert(expected.end(), decoded.begin(), decoded.end());

    const std::vector<int16_t> ours = samplesOf(readUntilTheEnd(sound, 100000));
    EXPECT_TRUE(sound->isEndOfStream());
    EXPECT_EQ(ours.size(), expected.size());
    const size_t common = std::min(ours.size(), expected.size());
    EXPECT_LE(maximumDifference(ours.data(), expected.data(), common), tolerance);
    const double soundMs = 1000.0 * double(expected.size()) / channels / rate;
    const bool avi = path.size() > 4 && path.compare(path.size() - 4, 4, ".avi") == 0;
    const double soundTolerance = avi ? 1 : 40;
    EXPECT_GE(sound->getDuration(), std::max(std::floor(soundMs) - soundTolerance, picturesEndMs - 40));
    EXPECT_LE(sound->getDuration(), std::max(std::ceil(soundMs) + soundTolerance, picturesEndMs + 40));

    const int64_t scale = FfmpegMovie::open(path)->timeScale();
    for (uint32_t target : {1u, 333u, 707u}) {
        SCOPED_TRACE("seek to " + std::to_string(target) + " ms");
        uint32_t actual = 0;
        ASSERT_EQ(sound->seekStream(target, &actual, 0), kResultSuccess);
        const std::vector<int16_t> after = samplesOf({readChunk(sound)});
        // The sound resumes at the frame of the time sought in whole movie
        // units; the time reported back is that frame's, truncated to whole ms.
        const int64_t frame = int64_t(target) * scale / 1000 * rate / scale;
        EXPECT_EQ(actual, uint32_t(frame * 1000 / rate));
        const size_t first = size_t(frame) * size_t(channels);
        ASSERT_GE(expected.size(), first + after.size());
        EXPECT_LE(maximumDifference(after.data(), expected.data() + first, after.size()), tolerance);
    }
}

TEST_P(MovieOracleTest, EverySoundSampleAtItsTime)
{
    expectEverySoundSample(*movie, path, GetParam().soundTolerance, frameEnd(frames.size() - 1));
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieOracleTest, ::testing::ValuesIn(kOracleMovies),
                         [](const auto& info) { return std::string(info.param.name); });

class SoundOnlyOracleTest : public ::testing::TestWithParam<OracleMovie> {};

TEST_P(SoundOnlyOracleTest, EverySoundSampleAtItsTime)
{
    const std::string path = testMedia(GetParam().file, kSources + GetParam().arguments);
    ASSERT_FALSE(path.empty()) << "ffmpeg could not make the test movie";
    ModuleMovie movie(path);
    ASSERT_EQ(movie.openResult, kResultSuccess);
    ASSERT_TRUE(movie.videos.empty());
    ASSERT_EQ(movie.sounds.size(), 1u);
    expectEverySoundSample(movie, path, GetParam().soundTolerance, 0);
}

INSTANTIATE_TEST_SUITE_P(Containers, SoundOnlyOracleTest, ::testing::ValuesIn(kSoundOnlyMovies),
                         [](const auto& info) { return std::string(info.param.name); });

// A movie whose header promises more than the file holds plays every
// picture whose bytes are there, at ffprobe's times, and then ends.
TEST(MovieOracle, ATruncatedMovieEndsAfterItsLastCompleteSample)
{
    const std::string whole = testMedia("faststart.mp4", kSources + "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                                    "-c:a aac -ac 2 -movflags +faststart");
    const std::string path = truncatedCopy(whole, 0.6);
    ASSERT_FALSE(path.empty());
    ModuleMovie movie(path);
    ASSERT_EQ(movie.openResult, kResultSuccess);
    const std::vector<ProbedFrame> frames = probedVideoFrames(path);
    const ProbedTimeBase timeBase = probedVideoTimeBase(path);
    StreamInterface* video = movie.videos.at(0);
    const std::vector<ReadChunk> pictures = readUntilTheEnd(video);
    EXPECT_TRUE(video->isEndOfStream());
    ASSERT_GT(frames.size(), 10u);
    ASSERT_EQ(pictures.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(pictures[i].startTime, uint32_t(frames[i].pts * timeBase.num * 1000 / timeBase.den)) << i;
    const std::vector<uint8_t> expected = decodedPictures(path, "yuyv422");
    ASSERT_EQ(expected.size(), frames.size() * kYuyvBytes);
    // The pictures of the last group may refer to bytes the file lacks.
    for (size_t i = 0; i + 12 < frames.size(); ++i)
        EXPECT_TRUE(std::equal(pictures[i].bytes.begin(), pictures[i].bytes.end(), expected.begin() + long(i * kYuyvBytes)))
            << "picture " << i;
    StreamInterface* sound = movie.sounds.at(0);
    EXPECT_FALSE(readUntilTheEnd(sound, 100000).empty());
    EXPECT_TRUE(sound->isEndOfStream());
}

// Each reordered QuickTime or MP4 video stream timed by its header's
// composition offsets as by reading its packets, or (expected) the header
// declines: the edit list cutting into the pictures discards entries, the
// file cut short lacks some. A movie joined from pieces, whose decoding
// times step irregularly at each join, is timed by its header.
TEST(MovieOracle, HeaderOffsetsTimePicturesAsTheirPacketsDo)
{
    struct Case {
        std::string path;
        bool headerTimes;
    };
    std::vector<Case> cases;
    for (const OracleMovie& movie : kOracleMovies) {
        const std::string file = movie.file;
        if (file.find(".mp4") == std::string::npos && file.find(".mov") == std::string::npos)
            continue;
        std::string path = testMedia(file, kSources + movie.arguments);
        if (movie.cut && !path.empty())
            path = testMedia(file, std::string(movie.cut) + " -i '" + path + "' -c copy");
        cases.push_back({path, !movie.cut});
    }
    const std::string whole = testMedia("faststart.mp4", kSources + "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                                    "-c:a aac -ac 2 -movflags +faststart");
    cases.push_back({whole, true});
    cases.push_back({truncatedCopy(whole, 0.6), false});
    const std::string segment = testMedia("segment.mp4", kSources + "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p "
                                                                    "-c:a aac -ac 2");
    cases.push_back({testMedia("joined.mp4", "-stream_loop 3 -i '" + segment + "' -c copy"), true});

    for (const Case& movie : cases) {
        SCOPED_TRACE(movie.path);
        ASSERT_FALSE(movie.path.empty());
        const FormatContextPtr format = openFormat(movie.path.c_str());
        ASSERT_TRUE(format);
        const int64_t fileEnd = avio_size(format->pb);
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            AVStream* stream = format->streams[i];
            if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || stream->codecpar->video_delay <= 0)
                continue;
            const std::optional<OrderedPackets> fromHeader =
                orderedFromHeaderOffsets(format.get(), stream, movie.path, fileEnd);
            ASSERT_EQ(fromHeader.has_value(), movie.headerTimes);
            if (!fromHeader)
                continue;
            const OrderedPackets fromPackets = orderedFromReading(format.get(), stream);
            ASSERT_EQ(fromHeader->positions.size(), fromPackets.positions.size());
            for (size_t k = 0; k < fromPackets.positions.size(); ++k) {
                EXPECT_EQ(fromHeader->positions[k].pts, fromPackets.positions[k].pts) << k;
                EXPECT_EQ(fromHeader->positions[k].dts, fromPackets.positions[k].dts) << k;
                EXPECT_EQ(fromHeader->sync[k], fromPackets.sync[k]) << k;
            }
            EXPECT_EQ(fromHeader->lastDuration, fromPackets.lastDuration);
        }
    }
}

} // namespace
} // namespace Qel::Testing
