// qelhost: inspects, decodes and plays movies through the container plug-in
// the way a host engine drives it.
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

#include "commands/CommandLine.h"
#include "platform/Interruption.h"
#include "platform/Terminal.h"
#include "report/CommandError.h"
#include "PluginModule.h"

namespace {

using namespace Qel::Cli;

const char kDescription[] = "Drives the container plug-in beside this program as a host engine does.";

// Help pages start with the usage line, then say what the command does.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter()
    {
        label("Usage", "usage");
        label("SUBCOMMAND", "COMMAND");
        column_width(22);
    }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
    {
        if (mode == CLI::AppFormatMode::Sub)
            return make_expanded(app);
        std::string page = make_usage(app, name) + make_description(app) + make_positionals(app) +
                           make_groups(app, mode) + make_subcommands(app, mode) + "\n" + make_footer(app);
        if (page.back() != '\n')
            page += '\n';
        return page;
    }
};

// The qelhost documentation: installed beside the program's folder, or in
// the sources this program was built from.
std::string documentationPath()
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path installed =
        fs::path(Qel::Host::PluginModule::programFolder()) / ".." / QEL_INSTALLED_DOCUMENTATION;
    if (fs::is_regular_file(installed, error))
        return fs::weakly_canonical(installed, error).string();
    if (fs::is_regular_file(QEL_SOURCE_DOCUMENTATION, error))
        return QEL_SOURCE_DOCUMENTATION;
    return fs::path(installed).lexically_normal().string();
}

void setLogDestination(const std::string& value)
{
#if defined(_WIN32)
    _putenv_s("QEL_LOG", value.c_str());
#else
    setenv("QEL_LOG", value.c_str(), 1);
#endif
}

// QEL_LOG names where the plug-in's lines go: "stderr" or a file. Words
// such as "1", "yes" or "debug" would silently become files of that name,
// so a value without a folder separator or an extension is refused. The
// logging library takes a file by its full path only (a host's current
// folder may be anyone's); the user's relative path means the folder they
// started qelhost in, so it is made full here.
void checkLogDestination()
{
    const char* value = std::getenv("QEL_LOG");
    if (!value || !*value)
        return;
    const std::string destination = value;
    if (destination == "stderr")
        return;
    if (destination.find_first_of("/\\.") == std::string::npos)
        throw CommandError(kExitUsage, "QEL_LOG must be \"stderr\" or a file path such as ./qel.log, not \"" +
                                           destination + "\"");
    // The environment's own narrow encoding, both ways.
    const std::filesystem::path path(destination);
    if (path.is_relative())
        setLogDestination(std::filesystem::absolute(path).lexically_normal().string());
}

// -v shows the plug-in's own lines on standard error unless QEL_LOG
// already sends them somewhere.
void showPluginLines()
{
    const char* value = std::getenv("QEL_LOG");
    if (!value || !*value)
        setLogDestination("stderr");
}

struct Line {
    CLI::App app{kDescription, "qelhost"};
    Verbosity verbosity = Verbosity::Normal;
    std::map<const CLI::App*, Command> commands;
    std::string helpTopic;
    CLI::App* help = nullptr;
};

void define(Line& line)
{
    CLI::App& app = line.app;
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", "qelhost " QEL_VERSION);
    app.footer("Run 'qelhost help COMMAND' for a command's options.\nDocumentation: " + documentationPath());
    auto* quiet = app.add_flag_callback("-q,--quiet", [&line] { line.verbosity = Verbosity::Quiet; },
                                        "print nothing but errors: no progress, no report");
    app.add_flag_callback("-v,--verbose", [&line] { line.verbosity = Verbosity::Verbose; },
                          "also show the plug-in's own diagnostic lines (QEL_LOG=stderr)")
        ->excludes(quiet);
    for (const Command& command : {addInfoCommand(app), addDecodeCommand(app, line.verbosity),
                                   addThumbsCommand(app, line.verbosity), addPlayCommand(app, line.verbosity)}) {
        command.app->group("Commands");
        line.commands[command.app] = command;
    }
    line.help = app.add_subcommand("help", "explain a command: qelhost help COMMAND")->group("Commands");
    line.help->add_option("COMMAND", line.helpTopic, "the command to explain")->type_name("");
}

int explain(const Line& line)
{
    if (line.helpTopic.empty()) {
        std::cout << line.app.help();
        return kExitSuccess;
    }
    for (const auto& [app, command] : line.commands) {
        if (app->get_name() == line.helpTopic) {
            std::cout << app->help("qelhost");
            return kExitSuccess;
        }
    }
    throw CommandError(kExitUsage, "no command " + line.helpTopic + "; the commands are info, decode, thumbs, play");
}

// The name of the command being parsed, for the "qelhost COMMAND:" prefix.
std::string commandName(const CLI::App& app)
{
    const std::vector<CLI::App*> parsed = app.get_subcommands();
    return parsed.empty() ? "qelhost" : "qelhost " + parsed.front()->get_name();
}

int reportParseError(const Line& line, const CLI::ParseError& error, const std::string& firstArgument)
{
    if (error.get_exit_code() == int(CLI::ExitCodes::Success)) {
        // --help and --version: the page or version on standard output.
        if (dynamic_cast<const CLI::CallForHelp*>(&error) || dynamic_cast<const CLI::CallForAllHelp*>(&error))
            std::cout << line.app.help();
        else
            std::cout << error.what() << "\n";
        return kExitSuccess;
    }
    const std::string name = commandName(line.app);
    std::string message = error.what();
    if (name == "qelhost" && dynamic_cast<const CLI::RequiredError*>(&error))
        message = !firstArgument.empty() && firstArgument[0] != '-' ? "unknown command " + firstArgument
                                                                     : "no command given";
    std::cerr << name << ": " << message << "\n"
              << "Run '" << (name == "qelhost" ? "qelhost --help" : "qelhost help" + name.substr(7))
              << "' for " << (name == "qelhost" ? "the commands" : "its options") << ".\n";
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    prepareConsole();
    watchForInterruption();
    // CLI11 takes the words last first.
    std::vector<std::string> words = programArguments(argc, argv);
    const std::string first = words.empty() ? std::string() : words.front();
    std::reverse(words.begin(), words.end());
    Line line;
    define(line);
    try {
        line.app.parse(words);
    } catch (const CLI::ParseError& error) {
        return reportParseError(line, error, first);
    }
    const std::string name = commandName(line.app);
    try {
        if (line.app.got_subcommand(line.help))
            return explain(line);
        checkLogDestination();
        if (line.verbosity == Verbosity::Verbose)
            showPluginLines();
        return line.commands.at(line.app.get_subcommands().front()).run();
    } catch (const CommandError& error) {
        std::cerr << name << ": " << error.what() << "\n";
        if (error.exitCode() == kExitUsage && name != "qelhost help")
            std::cerr << "Run 'qelhost help" << name.substr(7) << "' for its options.\n";
        return error.exitCode();
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << "\n";
        return kExitFailed;
    }
}
