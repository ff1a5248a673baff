#include "Options.h"

#include <algorithm>
#include <cctype>

#include "CommandError.h"

namespace Qel::Cli {

namespace {

[[noreturn]] void usage(const std::string& message)
{
    throw CommandError(kExitUsage, message);
}

} // namespace

Options::Options(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
            continue;
        }
        // A lone "-" and negative numbers are values, never options.
        if (argument.size() > 1 && argument[0] == '-' && !std::isdigit(static_cast<unsigned char>(argument[1]))) {
            auto spec = std::find_if(specs.begin(), specs.end(),
                                     [&](const OptionSpec& s) { return s.name == argument; });
            if (spec == specs.end())
                usage("unknown option " + argument);
            if (!spec->takesValue) {
                values[argument] = "";
                continue;
            }
            if (i + 1 >= arguments.size())
                usage("option " + argument + " needs a value");
            values[argument] = arguments[++i];
            continue;
        }
        if (!moviePath.empty())
            usage("unexpected argument " + argument);
        moviePath = argument;
    }
}

std::string Options::text(const std::string& name, const std::string& fallback) const
{
    auto found = values.find(name);
    return found == values.end() ? fallback : found->second;
}

int64_t Options::integer(const std::string& name, int64_t fallback, int64_t low, int64_t high) const
{
    auto found = values.find(name);
    if (found == values.end())
        return fallback;
    const std::string& value = found->second;
    size_t used = 0;
    int64_t number = 0;
    try {
        number = std::stoll(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (value.empty() || used != value.size())
        usage("option " + name + " needs a whole number, not \"" + value + "\"");
    if (number < low || number > high)
        usage("option " + name + " must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return number;
}

const std::string& Options::movie() const
{
    if (moviePath.empty())
        usage("no movie given");
    return moviePath;
}

} // namespace Qel::Cli
