// One file a command writes, made so that nothing the user has is lost by
// surprise: the output may not be the movie being read (by any name: the
// check compares file identities), an existing file is replaced only when
// the user said so (-y), and the bytes go to a temporary file beside the
// final one that takes the final name only when commit() is called. An
// output that is never committed (a failed write, an error, an early
// return) is removed when it goes, leaving whatever had the name before.
//
// The path "-" means standard output: no temporary file, no rename, and
// the report of the command moves to standard error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace Qel::Cli {

// What the user allowed, and what must never be written over.
struct OutputRules {
    bool overwrite = false;              // -y: existing outputs may be replaced
    bool hasInput = false;
    Files::Identity input;               // the movie, never an output
};

// The rules with the movie's identity filled in. Throws CommandError when
// the movie cannot be examined.
OutputRules outputRules(bool overwrite, const std::string& moviePath);

// Throws CommandError (kExitOutputExists, kExitFailed) when the path may
// not be written under these rules: it is the input, it exists and the
// rules do not allow replacing it, or it is a folder.
void checkOutputPath(const std::string& path, const OutputRules& rules);

// Makes the folder and its missing parents, so that outputs can go there;
// nothing for an empty path (the current folder). Throws CommandError
// naming the system's reason.
void makeOutputFolder(const std::string& folder);

// Whether the path means standard output.
bool isStandardOutput(const std::string& path);

class OutputFile {
public:
    // Checks the path and opens the temporary file (or standard output).
    // Throws CommandError.
    OutputFile(const std::string& path, const OutputRules& rules);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Throws CommandError naming the OS reason.
    void write(const void* bytes, size_t count);
    // Writes the bytes again at the start of the file, over what is there,
    // after the last write. False for standard output, which is left as it is.
    bool rewriteStart(const std::string& bytes);
    // Flushes, closes and gives the file its final name. Throws CommandError.
    void commit();

    // The final path, or "standard output".
    std::string name() const;
    bool toStandardOutput() const { return standardOutput; }

private:
    void flush();
    [[noreturn]] void fail(const char* what, int error);
    void discard();

    std::string finalPath;
    std::string temporaryPath;
    OutputRules rules;
    bool standardOutput;
    bool open = false;
    Files::Handle handle = 0;
    std::vector<char> buffer;
};

} // namespace Qel::Cli
