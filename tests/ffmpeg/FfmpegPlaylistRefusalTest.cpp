// Files that FFmpeg would read as playlists or scripts naming other files,
// disguised as movies: the FFmpeg source refuses them without opening what
// they name, even when asked to open one it was not offered (a file replaced
// after it was accepted).
#include "FfmpegLibraries.h"
#include "FfmpegMovieSource.h"
#include "formats/FfmpegContainers.h"
#include "formats/FfmpegProbe.h"
#include "TempFolder.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/avstring.h>
}

#include <filesystem>
#include <sys/inotify.h>
#include <unistd.h>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

// Whether anything in this process opened a file after the watch began.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd_ >= 0)
            watching_ = inotify_add_watch(fd_, path.c_str(), IN_OPEN) >= 0;
    }
    ~OpenWatch()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool watching() const { return watching_; }
    bool sawOpen() const
    {
        alignas(inotify_event) char events[4096];
        return read(fd_, events, sizeof events) > 0;
    }

private:
    int fd_;
    bool watching_ = false;
};

struct DisguisedFile {
    const char* name;
    const char* referenced;  // the file the text names, beside it
    const char* text;
};

const DisguisedFile kDisguisedFiles[] = {
    {"hls-media.mov", "other.mp4",
     "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nother.mp4\n#EXT-X-ENDLIST\n"},
    {"hls-master.mp4", "variant.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\nvariant.m3u8\n"},
    {"concat.mov", "other.mp4", "ffconcat version 1.0\nfile other.mp4\n"},
    // "@/" stands for the folder: a full path to the other movie.
    {"hls-full-path.mp4", "other.mp4", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n@/other.mp4\n"},
};

TEST(FfmpegPlaylistRefusal, DisguisedPlaylistsAreRefusedWithoutOpeningWhatTheyName)
{
    const std::string movie = h264Mp4();
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
    for (const DisguisedFile& file : kDisguisedFiles) {
        SCOPED_TRACE(file.name);
        TempFolder folder;
        std::filesystem::copy_file(movie, folder.path("other.mp4"));
        folder.write("variant.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nother.mp4\n#EXT-X-ENDLIST\n");
        std::string text = file.text;
        if (const size_t folderMark = text.find("@/"); folderMark != std::string::npos)
            text.replace(folderMark, 1, folder.path(""));
        const std::string path = folder.write(file.name, text);
        const OpenWatch watch(folder.path(file.referenced));
        ASSERT_TRUE(watch.watching());

        EXPECT_FALSE(ffmpegRecognisesMovie(path));
        std::string error;
        EXPECT_EQ(QelRuntime::ffmpegMovieSourceFactory().open(path, error), nullptr);
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(watch.sawOpen()) << file.referenced << " was opened";
    }
}

// FFmpeg matches each part of a demuxer's comma-separated name against the
// whitelist: a refused demuxer must match none of the accepted names' parts.
TEST(FfmpegPlaylistRefusal, NoRefusedDemuxerMatchesTheWhitelist)
{
    const std::string& accepted = acceptedDemuxerList();
    EXPECT_NE(av_match_list("mov", accepted.c_str(), ','), 0);
    void* iterator = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&iterator)) {
        if (isRefusedDemuxer(format->name)) {
            EXPECT_EQ(av_match_list(format->name, accepted.c_str(), ','), 0) << format->name;
        }
    }
}

} // namespace
} // namespace Qel::Testing
