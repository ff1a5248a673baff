// The qelhost command line, parsed with CLI11: the commands, the options
// they share, and the converters from what a user types (times, speeds) to
// what the plug-in takes (milliseconds, thousandths of normal speed).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "streams/StreamInterface.h"

namespace Qel::Cli {

// How much qelhost tells: -q only errors, -v also the plug-in's own lines.
enum class Verbosity { Quiet, Normal, Verbose };

// A command on the qelhost line: its CLI11 subcommand, and what runs once
// the whole line has been parsed. Its settings live in the closure.
struct Command {
    CLI::App* app;
    std::function<int()> run;
};

// A command on the qelhost line, with its help footer and the movie it
// takes as its one positional argument.
CLI::App* addMovieCommand(CLI::App& qelhost, const std::string& name, const std::string& summary,
                          const std::string& about, std::string& movie);

// Times: seconds ("62.5", "62.5s"), milliseconds ("500ms") or a clock time
// ("1:02.5", "00:01:02.500"). Returns milliseconds; throws
// std::invalid_argument with the reason.
uint32_t parseTimeMs(const std::string& text);

// Speeds as a multiple of normal speed ("1", "1.5", "-1"), not 0, at most
// 100 either way. Returns thousandths; throws std::invalid_argument.
int32_t parseSpeed(const std::string& text);

// CLI11 transforms that rewrite an option's text into the number above, so
// that the option binds straight to an integer.
CLI::Validator asMilliseconds();
CLI::Validator asThousandths();

// -y/--overwrite (existing outputs may be replaced) and -n/--no-overwrite
// (never, the default, said explicitly); the two exclude each other.
void addOverwriteChoice(CLI::App& command, bool& overwrite);

// Which streams a command reads: the plug-in's activated ones unless the
// user names another of the kind (--video N, --audio N, counting from 1 in
// the order the plug-in presents them) or leaves the kind out.
struct StreamChoice {
    int32_t videoNumber = 0;  // 0: the activated one
    int32_t audioNumber = 0;
    bool noVideo = false;
    bool noAudio = false;
};
void addStreamChoice(CLI::App& command, StreamChoice& choice, bool withAudio);

class MovieSession;
struct ChosenStreams {
    StreamInterface* video;  // null when left out or absent
    StreamInterface* audio;
};
// The streams the choice names; throws CommandError when it names a stream
// the movie lacks or leaves nothing to read.
ChosenStreams chooseStreams(const MovieSession& session, const StreamChoice& choice, const std::string& moviePath);

// The commands (InfoCommand.cpp, DecodeCommand.cpp, ThumbsCommand.cpp,
// PlayCommand.cpp).
Command addInfoCommand(CLI::App& qelhost);
Command addDecodeCommand(CLI::App& qelhost, const Verbosity& verbosity);
Command addThumbsCommand(CLI::App& qelhost, const Verbosity& verbosity);
Command addPlayCommand(CLI::App& qelhost, const Verbosity& verbosity);

} // namespace Qel::Cli
