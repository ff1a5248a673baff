#include "commands/CommandLine.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "movie/MovieSession.h"
#include "movie/StreamDescription.h"
#include "report/CommandError.h"

namespace Qel::Cli {

namespace {

constexpr double kLongestTimeMs = 4294967294.0;  // the last millisecond a stream can name
constexpr double kFastestSpeed = 100.0;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A plain decimal number: digits with at most one point ("62", "62.5",
// ".5"), nothing else; strtod alone would also take "inf", "0x10" or "1e3".
double decimal(const std::string& text, const std::string& what)
{
    size_t digits = 0;
    size_t points = 0;
    for (char c : text) {
        digits += isDigit(c);
        points += c == '.';
    }
    if (digits == 0 || points > 1 || digits + points != text.size())
        throw std::invalid_argument("\"" + what + "\" is not a number");
    return std::strtod(text.c_str(), nullptr);
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == separator)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// "[hh:]mm:ss[.fff]" in seconds; minutes and seconds below 60 after the
// first field.
double clockSeconds(const std::string& text)
{
    const std::vector<std::string> fields = split(text, ':');
    if (fields.size() > 3)
        throw std::invalid_argument("\"" + text + "\" is not a time: use hh:mm:ss.ms, mm:ss or seconds");
    double seconds = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        if (!last && fields[i].find('.') != std::string::npos)
            throw std::invalid_argument("\"" + text + "\" is not a time: only the seconds take a fraction");
        const double value = decimal(fields[i], text);
        if (i > 0 && value >= 60)
            throw std::invalid_argument("\"" + text + "\" is not a time: minutes and seconds run from 0 to 59");
        seconds = seconds * 60 + value;
    }
    return seconds;
}

} // namespace

uint32_t parseTimeMs(const std::string& text)
{
    double ms = 0;
    if (endsWith(text, "ms"))
        ms = decimal(text.substr(0, text.size() - 2), text);
    else if (endsWith(text, "s"))
        ms = decimal(text.substr(0, text.size() - 1), text) * 1000;
    else
        ms = clockSeconds(text) * 1000;
    if (ms > kLongestTimeMs)
        throw std::invalid_argument("\"" + text + "\" lies beyond the longest movie (about 49 days)");
    return uint32_t(std::llround(ms));
}

int32_t parseSpeed(const std::string& text)
{
    const bool backwards = !text.empty() && text[0] == '-';
    const double speed = decimal(backwards ? text.substr(1) : text, text);
    const long thousandths = std::lround(speed * 1000);
    if (thousandths == 0)
        throw std::invalid_argument("the speed must not be 0 (use -1 to play backwards)");
    if (speed > kFastestSpeed)
        throw std::invalid_argument("the speed must lie between -100 and 100, not " + text);
    return int32_t(backwards ? -thousandths : thousandths);
}

namespace {

// A CLI11 transform through one of the parsers: the text becomes the number,
// or CLI11 reports the parser's reason as a usage error.
template <typename Parse>
CLI::Validator rewritingWith(Parse parse)
{
    return CLI::Validator(
        [parse](std::string& text) {
            try {
                text = std::to_string(parse(text));
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        },
        "");
}

} // namespace

CLI::Validator asMilliseconds()
{
    return rewritingWith(parseTimeMs);
}

CLI::Validator asThousandths()
{
    return rewritingWith(parseSpeed);
}

CLI::App* addMovieCommand(CLI::App& qelhost, const std::string& name, const std::string& summary,
                          const std::string& about, std::string& movie)
{
    CLI::App* command = qelhost.add_subcommand(name, summary);
    command->footer(about);
    command->add_option("MOVIE", movie, "the movie file")->required()->type_name("");
    return command;
}

void addOverwriteChoice(CLI::App& command, bool& overwrite)
{
    CLI::Option* replace = command.add_flag("-y,--overwrite", overwrite, "replace existing output files");
    CLI::Option* keep = command.add_flag("-n,--no-overwrite", "never replace an existing file (the default)");
    command.parse_complete_callback([replace, keep] {
        if (replace->count() > 0 && keep->count() > 0)
            throw CLI::ValidationError("-y and -n contradict each other");
    });
}

void addStreamChoice(CLI::App& command, StreamChoice& choice, bool withAudio)
{
    const char* kindOrder = "counting from 1 in the order 'qelhost info' lists them";
    command.add_option("--video", choice.videoNumber, std::string("read video stream N, ") + kindOrder)
        ->type_name("N")
        ->check(CLI::Range(1, 1000).description(""));
    if (!withAudio)
        return;
    command.add_option("--audio", choice.audioNumber, std::string("read audio stream N, ") + kindOrder)
        ->type_name("N")
        ->check(CLI::Range(1, 1000).description(""));
    command.add_flag("--no-video", choice.noVideo, "leave the video out")->excludes("--video");
    command.add_flag("--no-audio", choice.noAudio, "leave the audio out")->excludes("--audio");
}

ChosenStreams chooseStreams(const MovieSession& session, const StreamChoice& choice, const std::string& moviePath)
{
    ChosenStreams chosen{choice.noVideo ? nullptr : session.chosenStream(kVideoKind, choice.videoNumber),
                         choice.noAudio ? nullptr : session.chosenStream(kAudioKind, choice.audioNumber)};
    if (choice.noVideo && choice.noAudio)
        throw CommandError(kExitUsage, "--no-video and --no-audio leave nothing to read");
    if (!chosen.video && !chosen.audio)
        throw CommandError(kExitFailed, "the plug-in activated no stream in " + moviePath);
    return chosen;
}

} // namespace Qel::Cli
