#include <cstring>

#include "RuntimeSession.h"

namespace Qel::Testing {
namespace {

constexpr QtOSType kCtyp = fourCc('c', 't', 'y', 'p');
constexpr QtOSType kName = 0xA96E616D;

class MovieOperations : public RuntimeSession {};

TEST_F(MovieOperations, ProbeTellsSyntheticMoviesFromOtherFiles)
{
    QtFileSpec spec{};
    // The whole Finder record is written, not only its type.
    QtFinderInfo info;
    std::memset(&info, 0xEE, sizeof info);
    QtBoolean image = 9, asMovie = 9;
    ASSERT_EQ(specOf(files.write("a.json", Movie::document("")), spec), 0);
    EXPECT_EQ(QtFileType(&spec, &info), 0);
    EXPECT_EQ(info.fileType, fourCc('M', 'o', 'o', 'V'));
    EXPECT_EQ(info.folder, 0);
    QtOSType type = info.fileType;
    EXPECT_EQ(QtFileProbe(&spec, type, 0, &image, &asMovie, nullptr, 0), 0);
    EXPECT_EQ(image, 0);
    EXPECT_EQ(asMovie, 1);

    ASSERT_EQ(specOf(files.write("b.txt", "{\"something\": 1}"), spec), 0);
    EXPECT_EQ(QtFileType(&spec, &info), 0);
    type = info.fileType;
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(QtFileProbe(&spec, type, 0, &image, &asMovie, nullptr, 0), 0);
    EXPECT_EQ(asMovie, 0);

    EXPECT_EQ(specOf(files.path("missing.json"), spec), -43);
    EXPECT_EQ(QtFileProbe(&spec, 0, 0, &image, &asMovie, nullptr, 0), -43);
    int16_t fileRef = 0;
    EXPECT_EQ(QtMovieFileOpen(&spec, &fileRef, 1), -43);
}

TEST_F(MovieOperations, LoadReportsTimingUserDataAndTracks)
{
    ASSERT_EQ(load(Movie::document(Movie::videoTrack() + "," + Movie::soundTrack() + "," +
                                       Movie::otherTrack("\"text\""),
                                   R"({"name": "Quay \u00e9", "ctyp": "STpn"})", 1000, 4321)),
              0);
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(QtMovieDuration(movie), 4321);
    EXPECT_EQ(QtMovieTimeScale(movie), 1000);
    EXPECT_NE(QtMovieTimeBase(movie), nullptr);
    EXPECT_EQ(QtMovieTrackCount(movie), 3);

    QtUserData userData = QtMovieUserData(movie);
    ASSERT_NE(userData, nullptr);
    unsigned char code[4] = {};
    EXPECT_EQ(QtUserDataItem(userData, code, 4, kCtyp, 0), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(code), 4), "STpn");

    QtHandle text = QtHandleNew(0);
    EXPECT_EQ(QtUserDataText(userData, text, kName, 1, 0), 0);
    ASSERT_EQ(QtHandleSize(text), 7);  // "Quay " and the two bytes of U+00E9
    EXPECT_EQ(std::string(*text, 7), "Quay \xc3\xa9");
    QtHandleDispose(text);

    QtOSType types[3] = {};
    for (int32_t i = 1; i <= 3; ++i)
        QtMediaType(QtTrackMedia(track(i)), &types[i - 1], nullptr, nullptr);
    EXPECT_EQ(types[0], fourCc('v', 'i', 'd', 'e'));
    EXPECT_EQ(types[1], fourCc('s', 'o', 'u', 'n'));
    EXPECT_EQ(types[2], fourCc('t', 'e', 'x', 't'));
    EXPECT_EQ(track(0), nullptr);
    EXPECT_EQ(track(4), nullptr);
}

TEST_F(MovieOperations, MissingUserDataAndItems)
{
    ASSERT_EQ(load(Movie::document("")), 0);
    EXPECT_EQ(QtMovieUserData(movie), nullptr);
    QtMovieDispose(movie);

    ASSERT_EQ(load(Movie::document("", "{}")), 0);
    QtUserData userData = QtMovieUserData(movie);
    ASSERT_NE(userData, nullptr);
    unsigned char code[4];
    EXPECT_EQ(QtUserDataItem(userData, code, 4, kCtyp, 0), -2026);
    QtHandle text = QtHandleNew(0);
    EXPECT_EQ(QtUserDataText(userData, text, kName, 1, 0), -2026);
    EXPECT_EQ(QtHandleSize(text), 0);
    QtHandleDispose(text);
}

TEST_F(MovieOperations, MalformedDocumentFailsToLoad)
{
    EXPECT_EQ(load(R"({"qelSyntheticMovie": 1, "tracks": 5})"), -2048);
    EXPECT_EQ(movie, nullptr);
}

TEST_F(MovieOperations, DisposedAndUnknownHandlesAnswerErrors)
{
    ASSERT_EQ(load(Movie::document(Movie::videoTrack(), R"({"ctyp": "qtvr"})")), 0);
    QtTrack firstTrack = track(1);
    QtMedia media = QtTrackMedia(firstTrack);
    QtUserData userData = QtMovieUserData(movie);
    QtMovieDispose(movie);
    QtMovie disposed = movie;
    movie = nullptr;

    EXPECT_EQ(QtMovieDuration(disposed), 0);
    EXPECT_EQ(QtMovieTrackCount(disposed), 0);
    EXPECT_EQ(QtMovieTrack(disposed, 1), nullptr);
    EXPECT_EQ(QtTrackMedia(firstTrack), nullptr);
    QtOSType type = 7;
    QtMediaType(media, &type, nullptr, nullptr);
    EXPECT_EQ(type, 7u);
    unsigned char code[4];
    EXPECT_EQ(QtUserDataItem(userData, code, 4, kCtyp, 0), -50);
    QtTimeValue next = 5;
    QtTrackNextTime(firstTrack, 16, 0, 1, &next, nullptr);
    EXPECT_EQ(next, 5);
    QtMovieDispose(disposed);  // a second dispose does nothing

    QtExtraction extraction = nullptr;
    EXPECT_EQ(QtExtractBegin(disposed, 0, &extraction), -50);
    EXPECT_EQ(QtMovieFileClose(12345), -50);
    EXPECT_EQ(QtFileSpecMake(0, 0, nullptr, nullptr), -50);
    EXPECT_EQ(QtHandleSize(reinterpret_cast<QtHandle>(&type)), 0);
    QtHandleDispose(reinterpret_cast<QtHandle>(&type));
}

TEST_F(MovieOperations, NextTimeWalksTheTableBothWaysThroughTheStubs)
{
    ASSERT_EQ(load(Movie::document(
                  R"({"type": "vide", "video": {"compression": "yuvs", "width": 4, "height": 4},
                      "samples": {"count": 5, "duration": 100, "syncEvery": 2}})")),
              0);
    auto next = [&](int16_t flags, QtTimeValue from, int32_t rate) {
        QtTimeValue answer = 0;
        QtTimeValue duration = 0;
        QtTrackNextTime(track(1), flags, from, rate, &answer, &duration);
        return answer;
    };
    EXPECT_EQ(next(16, 0, 1), 100);
    EXPECT_EQ(next(16, 400, 1), -1);
    EXPECT_EQ(next(16, 400, -1), 300);
    EXPECT_EQ(next(16, 450, -2), 400);
    EXPECT_EQ(next(8, 0, 0), 200);
    EXPECT_EQ(next(8, 400, 1), -1);
    EXPECT_EQ(next(8, 400, -1), 200);
    EXPECT_EQ(next(8, 0, -1), -1);
}

TEST_F(MovieOperations, TrackFaults)
{
    ASSERT_EQ(load(Movie::document(
                  Movie::videoTrack() + "," + Movie::videoTrack("m1v "), "null", 600, 600,
                  R"({"operation": "QtMediaType", "noCode": true, "track": 2},
                     {"operation": "QtTrackNextTime", "noneAfter": 240, "track": 1})")),
              0);
    QtOSType type = 0;
    QtMediaType(QtTrackMedia(track(1)), &type, nullptr, nullptr);
    EXPECT_EQ(type, fourCc('v', 'i', 'd', 'e'));
    type = 0x1234;
    QtMediaType(QtTrackMedia(track(2)), &type, nullptr, nullptr);
    EXPECT_EQ(type, 0x1234u);

    QtTimeValue next = 0;
    QtTrackNextTime(track(1), 16, 180, 1, &next, nullptr);
    EXPECT_EQ(next, 240);
    QtTrackNextTime(track(1), 16, 240, 1, &next, nullptr);
    EXPECT_EQ(next, -1);
    QtTrackNextTime(track(2), 16, 240, 1, &next, nullptr);
    EXPECT_EQ(next, 300);
}

TEST_F(MovieOperations, FileFaultsFireOnEveryOpen)
{
    QtFileSpec spec{};
    specOf(files.write("f.json", Movie::document("", "null", 600, 6000,
                                                 R"({"operation": "QtFileProbe", "status": -3},
                                                    {"operation": "QtMovieLoad", "status": -4})")),
           spec);
    QtBoolean image = 0, asMovie = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(QtFileProbe(&spec, 0, 0, &image, &asMovie, nullptr, 0), -3);
        int16_t fileRef = 0;
        ASSERT_EQ(QtMovieFileOpen(&spec, &fileRef, 1), 0);
        EXPECT_EQ(QtMovieLoad(&movie, fileRef, nullptr, nullptr, 0x0C1F, nullptr), -4);
        EXPECT_EQ(movie, nullptr);
        EXPECT_EQ(QtMovieFileClose(fileRef), 0);
    }
    int16_t fileRef = 0;
    EXPECT_EQ(QtMovieFileOpen(&spec, &fileRef, 3), -54);
}

} // namespace
} // namespace Qel::Testing
