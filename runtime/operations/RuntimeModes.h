// Where Apple's documentation of an operation is silent or ambiguous, the
// runtime offers each plausible behaviour as a named mode, so that tests can
// hold the plug-in against all of them. The default of each is the behaviour
// the documentation leans to (docs/QUICKTIME_CONTRACT.md says why).
//
// Modes are chosen by the environment variable QEL_QUICKTIME_MODES, a list of
// name=value pairs separated by commas ("layout=asSet,extractionEnd=withLastData"),
// read when a movie is loaded: a movie keeps the modes it was loaded with.
// A name or value the runtime does not know is reported on standard error
// and leaves that mode at its default.
#pragma once

#include <string>

namespace QelRuntime {

struct RuntimeModes {
    // How the channel layout reads back ('xaud'/'clay'). Apple's samples
    // read layouts "expanded into channel descriptions" (tag 0, one
    // description per channel); whether one the caller set reads back so is
    // not documented.
    enum class Layout { Expanded, AsSet } layout = Layout::Expanded;

    // How an extraction ends. The documentation: fills after the last data
    // "return noErr, but no audio data" with the completion flag set, which
    // "possibly" comes with the last buffer; Apple's AIFFWriter notes that
    // extraction "will happily return zeroes until it reaches the movie
    // duration".
    enum class ExtractionEnd {
        EmptyFill,          // the last data without the flag, then fills of no frames with it
        WithLastData,       // the flag with the last data
        SilenceToDuration,  // zeroes to the movie's duration, then fills of no frames with the flag
    } extractionEnd = ExtractionEnd::EmptyFill;

    // The scale of the times exchanged with an export source's data
    // function: the scale its creation hands back (the media's), or the
    // request's own sourceTimeScale where it gives one. Whether the exporter
    // honours the request's scale is not documented.
    enum class ExportScale { Returned, Request } exportScale = ExportScale::Returned;

    // Strict lifetimes: an extraction, export source, sequence or surface
    // still live when what it came from is disposed, and any object left at
    // the runtime's termination, is reported on standard error and counted.
    bool strict = false;
};

// The modes that `text` names (the variable's syntax, above); unknown names
// and values are added to `errors`, one per line.
RuntimeModes parseRuntimeModes(const std::string& text, std::string& errors);

// The modes the environment asks for now.
RuntimeModes runtimeModesFromEnvironment();

} // namespace QelRuntime
