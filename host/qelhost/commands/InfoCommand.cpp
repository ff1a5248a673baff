// qelhost info MOVIE [--json]: the container, its title and every stream as
// the plug-in presents them. Each stream is opened with a stopped clock to
// learn its format and closed again.
#include <cstdio>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "commands/CommandLine.h"
#include "movie/MovieSession.h"
#include "movie/StreamDescription.h"
#include "report/CommandError.h"
#include "report/Counted.h"
#include "HostClocks.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kAbout[] =
    "Shows the container (path, title, duration, file size), the title and\n"
    "every stream the plug-in presents: identifier, kind, format, picture\n"
    "size or sample rate, channels and bits, duration, and whether the\n"
    "plug-in activated it.";

struct InfoSettings {
    std::string movie;
    bool json = false;
};

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
        std::cout << d.formatText << " " << d.sampleRate << " Hz, " << counted(d.channels, "channel") << ", "
                  << d.bitsPerSample << " bits";
    std::cout << ", " << seconds(d.durationMs) << (report.activated ? ", activated" : ", not activated") << "\n";
}

int runInfo(const InfoSettings& settings)
{
    MovieSession session;
    session.open(settings.movie);
    ContainerInterface& container = session.container();

    std::vector<StreamReport> streams;
    for (StreamInterface* stream : session.streams())
        streams.push_back(inspect(session, *stream));
    // The movie's duration reaches a host only through its streams.
    const uint32_t durationMs = streams.empty() ? 0 : streams.front().description.durationMs;
    uint64_t fileSize = 0;
    const bool sized = container.getFileSize(&fileSize) == kResultSuccess;
    const std::string path = callByValue(container, &ContainerInterface::getPath).toStdString();
    const std::string name = callByValue(container, &ContainerInterface::getTitleName, session.titleId()).toStdString();

    if (settings.json) {
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

} // namespace

Command addInfoCommand(CLI::App& qelhost)
{
    auto settings = std::make_shared<InfoSettings>();
    CLI::App* app = addMovieCommand(qelhost, "info", "what the plug-in presents: container, title, streams",
                                    kAbout, settings->movie);
    app->add_flag("--json", settings->json, "print the stable JSON form (described in the documentation)");
    return {app, [settings] { return runInfo(*settings); }};
}

} // namespace Qel::Cli
