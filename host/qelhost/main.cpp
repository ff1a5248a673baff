// qelhost: inspects, decodes and plays movies through the container plug-in
// the way a host engine drives it.
#include <exception>
#include <functional>
#include <iostream>
#include <map>

#include "CommandError.h"
#include "Commands.h"
#include "Interruption.h"
#include "Terminal.h"

namespace {

const char kUsage[] =
    "usage: qelhost COMMAND MOVIE [OPTIONS]\n"
    "Drives the container plug-in beside this program as a host engine does.\n"
    "Commands:\n"
    "  info     what the plug-in presents: container, title, streams\n"
    "  decode   write the activated streams as WAV, Y4M (or PNG frames)\n"
    "  thumbs   a contact sheet of evenly spaced pictures, as one PNG\n"
    "  play     play against a running clock and report how it kept pace\n"
    "Run 'qelhost COMMAND --help' for a command's options.\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace Qel::Cli;
    const std::map<std::string, std::function<int(const Arguments&)>> commands = {
        {"info", runInfo}, {"decode", runDecode}, {"thumbs", runThumbs}, {"play", runPlay}};

    prepareConsole();
    watchForInterruption();
    const std::vector<std::string> words = programArguments(argc, argv);
    const std::string name = words.empty() ? "" : words.front();
    if (name == "--help" || name == "-h" || name == "help") {
        std::cout << kUsage;
        return kExitSuccess;
    }
    auto command = commands.find(name);
    if (command == commands.end()) {
        std::cerr << "qelhost: " << (name.empty() ? "no command given" : "unknown command " + name) << "\n"
                  << kUsage;
        return kExitUsage;
    }
    try {
        return command->second(Arguments(words.begin() + 1, words.end()));
    } catch (const CommandError& error) {
        std::cerr << "qelhost " << name << ": " << error.what() << "\n";
        if (error.exitCode() == kExitUsage)
            std::cerr << "Run 'qelhost " << name << " --help' for its options.\n";
        return error.exitCode();
    } catch (const std::exception& error) {
        std::cerr << "qelhost " << name << ": " << error.what() << "\n";
        return kExitFailed;
    }
}
