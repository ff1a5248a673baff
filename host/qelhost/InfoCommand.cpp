// qelhost info MOVIE [--json]: the container, its title and every stream as
// the plug-in presents them. Each stream is opened with a stopped clock to
// learn its format and closed again.
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "CommandError.h"
#include "Commands.h"
#include "HostClocks.h"
#include "MovieSession.h"
#include "Options.h"
#include "StreamDescription.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kHelp[] =
    "usage: qelhost info MOVIE [--json]\n"
    "Shows the container (path, title, duration, file size), the title and\n"
    "every stream the plug-in presents: identifier, kind, format, picture\n"
    "size or sample rate, channels and bits, duration, and whether the\n"
    "plug-in activated it.\n"
    "  --json  print the stable JSON form (see host/qelhost/README.md)\n";

struct StreamReport {
    uint64_t id = 0;
    bool activated = false;
    int32_t openStatus = 0;
    StreamDescription description;
};

StreamReport inspect(MovieSession& session, StreamInterface& stream)
{
    StreamReport report;
    report.id = stream.getStreamId();
    report.activated = session.activated(&stream);
    Host::StoppedClock clock;
    report.openStatus = stream.openStream(&clock);
    report.description = describeStream(stream);
    stream.closeStream();
    return report;
}

nlohmann::json streamJson(const StreamReport& report)
{
    const StreamDescription& d = report.description;
    nlohmann::json out = {{"id", report.id}, {"kind", d.kindName}, {"kindCode", d.kind},
                          {"durationMs", d.durationMs}, {"activated", report.activated},
                          {"opened", report.openStatus == kResultSuccess}};
    if (report.openStatus != kResultSuccess) {
        out["error"] = resultCodeText(report.openStatus);
        return out;
    }
    out["format"] = d.formatText;
    if (d.kind == kVideoKind) {
        out["width"] = d.width;
        out["height"] = d.height;
    } else if (d.kind == kAudioKind) {
        out["sampleRate"] = d.sampleRate;
        out["channels"] = d.channels;
        out["bitsPerSample"] = d.bitsPerSample;
    }
    return out;
}

std::string seconds(uint32_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    return text;
}

void printStream(const StreamReport& report)
{
    const StreamDescription& d = report.description;
    std::cout << "  #" << report.id << " " << d.kindName << " ";
    if (report.openStatus != kResultSuccess)
        std::cout << "(cannot open: " << resultCodeText(report.openStatus) << ")";
    else if (d.kind == kVideoKind)
        std::cout << d.formatText << " " << d.width << "x" << d.height;
    else if (d.kind == kAudioKind)
        std::cout << d.formatText << " " << d.sampleRate << " Hz, " << d.channels << " channels, "
                  << d.bitsPerSample << " bits";
    std::cout << ", " << seconds(d.durationMs) << (report.activated ? ", activated" : ", not activated") << "\n";
}

} // namespace

int runInfo(const Arguments& arguments)
{
    Options options(arguments, {{"--json", false}});
    if (options.helpRequested()) {
        std::cout << kHelp;
        return kExitSuccess;
    }
    MovieSession session;
    session.open(options.movie());
    ContainerInterface& container = session.container();

    std::vector<StreamReport> streams;
    for (StreamInterface* stream : session.streams())
        streams.push_back(inspect(session, *stream));
    // The movie's duration reaches a host only through its streams.
    const uint32_t durationMs = streams.empty() ? 0 : streams.front().description.durationMs;
    uint64_t fileSize = 0;
    const bool sized = container.getFileSize(&fileSize) == kResultSuccess;
    const std::string path = container.getPath().toStdString();
    const std::string name = container.getTitleName(session.titleId()).toStdString();

    if (options.has("--json")) {
        nlohmann::json out;
        out["container"] = {{"path", path}, {"title", name}, {"durationMs", durationMs},
                            {"fileSize", sized ? nlohmann::json(fileSize) : nlohmann::json()}};
        out["title"] = {{"id", session.titleId()}, {"name", name}};
        out["streams"] = nlohmann::json::array();
        for (const StreamReport& report : streams)
            out["streams"].push_back(streamJson(report));
        std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return kExitSuccess;
    }
    std::cout << "movie      " << path << "\n"
              << "title      #" << session.titleId() << " \"" << name << "\"\n"
              << "duration   " << seconds(durationMs) << "\n"
              << "file size  " << (sized ? std::to_string(fileSize) + " bytes" : "unknown") << "\n"
              << "streams    " << streams.size() << "\n";
    for (const StreamReport& report : streams)
        printStream(report);
    return kExitSuccess;
}

} // namespace Qel::Cli
