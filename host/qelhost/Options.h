// The command line of one qelhost command: one movie path and options of
// the form "--name value" or "--name" (a flag). Unknown options, a missing
// value, a second path or a malformed number are usage errors
// (CommandError with kExitUsage).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Qel::Cli {

struct OptionSpec {
    std::string name;   // with its dashes: "--from", "-o"
    bool takesValue;
};

class Options {
public:
    Options(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs);

    bool helpRequested() const { return help; }
    bool has(const std::string& name) const { return values.count(name) != 0; }
    std::string text(const std::string& name, const std::string& fallback) const;
    // The option's value as an integer in [low, high]; fallback when absent.
    int64_t integer(const std::string& name, int64_t fallback, int64_t low, int64_t high) const;
    // The movie path; a usage error when none was given.
    const std::string& movie() const;

private:
    std::map<std::string, std::string> values;
    std::string moviePath;
    bool help = false;
};

} // namespace Qel::Cli
