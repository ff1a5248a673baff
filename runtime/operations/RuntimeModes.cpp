#include "operations/RuntimeModes.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace QelRuntime {

namespace {

constexpr char kVariable[] = "QEL_QUICKTIME_MODES";

bool setMode(RuntimeModes& modes, const std::string& name, const std::string& value)
{
    using M = RuntimeModes;
    if (name == "layout" && (value == "expanded" || value == "asSet")) {
        modes.layout = value == "expanded" ? M::Layout::Expanded : M::Layout::AsSet;
    } else if (name == "extractionEnd" && value == "emptyFill") {
        modes.extractionEnd = M::ExtractionEnd::EmptyFill;
    } else if (name == "extractionEnd" && value == "withLastData") {
        modes.extractionEnd = M::ExtractionEnd::WithLastData;
    } else if (name == "extractionEnd" && value == "silenceToDuration") {
        modes.extractionEnd = M::ExtractionEnd::SilenceToDuration;
    } else if (name == "exportScale" && (value == "returned" || value == "request")) {
        modes.exportScale = value == "returned" ? M::ExportScale::Returned : M::ExportScale::Request;
    } else if (name == "lifetimes" && (value == "strict" || value == "lenient")) {
        modes.strict = value == "strict";
    } else {
        return false;
    }
    return true;
}

} // namespace

RuntimeModes parseRuntimeModes(const std::string& text, std::string& errors)
{
    RuntimeModes modes;
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty())
            continue;
        const size_t equals = item.find('=');
        const bool known = equals != std::string::npos &&
                           setMode(modes, item.substr(0, equals), item.substr(equals + 1));
        if (!known)
            errors += std::string(kVariable) + ": unknown mode \"" + item + "\"\n";
    }
    return modes;
}

RuntimeModes runtimeModesFromEnvironment()
{
    const char* text = std::getenv(kVariable);
    std::string errors;
    RuntimeModes modes = parseRuntimeModes(text != nullptr ? text : "", errors);
    if (!errors.empty())
        std::fprintf(stderr, "QuickTime.qts: %s", errors.c_str());
    return modes;
}

} // namespace QelRuntime
