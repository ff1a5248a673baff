#include "output/OutputFile.h"

#include <filesystem>

#include "report/CommandError.h"

namespace Qel::Cli {

namespace {

constexpr size_t kBufferBytes = 1 << 20;
// Temporary names taken by other runs are skipped; this many in a row means
// something else is wrong with the folder.
constexpr int kMostNameAttempts = 100;

std::string reason(int error)
{
    return " (" + Files::errorText(error) + ")";
}

// ".NAME.PID-N.part" beside the final file: hidden where dot files are,
// and never a name a user would pick.
std::string temporaryName(const std::string& finalPath, int attempt)
{
    const std::filesystem::path path = std::filesystem::u8path(finalPath);
    const std::string name = "." + path.filename().u8string() + "." + std::to_string(Files::processNumber()) +
                             "-" + std::to_string(attempt) + ".part";
    return (path.parent_path() / std::filesystem::u8path(name)).u8string();
}

} // namespace

OutputRules outputRules(bool overwrite, const std::string& moviePath)
{
    OutputRules rules;
    rules.overwrite = overwrite;
    const Files::Status movie = Files::pathStatus(moviePath);
    if (movie.error == 0) {
        rules.hasInput = true;
        rules.input = movie.identity;
    }
    return rules;
}

void makeOutputFolder(const std::string& folder)
{
    if (folder.empty())
        return;
    if (const int error = Files::createFolders(folder))
        throw CommandError(kExitFailed, "cannot create the folder " + folder + reason(error));
}

bool isStandardOutput(const std::string& path)
{
    return path == "-";
}

void checkOutputPath(const std::string& path, const OutputRules& rules)
{
    if (isStandardOutput(path))
        return;
    const Files::Status existing = Files::pathStatus(path);
    if (existing.error != 0)
        return;  // nothing there; whether the folder takes a file shows when it is created
    if (rules.hasInput && existing.identity == rules.input)
        throw CommandError(kExitOutputExists, path + " is the movie being read; name another output");
    if (existing.directory)
        throw CommandError(kExitOutputExists, path + " is a folder, not a file to write");
    if (!rules.overwrite)
        throw CommandError(kExitOutputExists, path + " exists; give -y to replace it");
}

OutputFile::OutputFile(const std::string& path, const OutputRules& rules)
    : finalPath(path), rules(rules), standardOutput(isStandardOutput(path))
{
    checkOutputPath(path, rules);
    buffer.reserve(kBufferBytes);
    if (standardOutput) {
        handle = Files::standardOutput();
        if (Files::isTerminal(handle))
            throw CommandError(kExitUsage, "standard output is a terminal; redirect it to a file or a program");
        open = true;
        return;
    }
    for (int attempt = 0; attempt < kMostNameAttempts; ++attempt) {
        temporaryPath = temporaryName(path, attempt);
        const int error = Files::createNew(temporaryPath, handle);
        if (error == 0) {
            open = true;
            return;
        }
        if (!Files::alreadyExists(error))
            throw CommandError(kExitFailed, "cannot create " + path + reason(error));
    }
    throw CommandError(kExitFailed, "cannot create " + path + ": no free temporary name beside it");
}

OutputFile::~OutputFile()
{
    discard();
}

void OutputFile::discard()
{
    if (!open || standardOutput)
        return;
    Files::closeFile(handle);
    Files::removeFile(temporaryPath);
    open = false;
}

void OutputFile::fail(const char* what, int error)
{
    discard();
    throw CommandError(kExitFailed, std::string("cannot ") + what + " " + name() + reason(error));
}

void OutputFile::write(const void* bytes, size_t count)
{
    if (buffer.size() + count > kBufferBytes)
        flush();
    if (count >= kBufferBytes) {
        if (const int error = Files::writeAll(handle, bytes, count))
            fail("write", error);
        return;
    }
    const char* first = static_cast<const char*>(bytes);
    buffer.insert(buffer.end(), first, first + count);
}

void OutputFile::flush()
{
    if (buffer.empty())
        return;
    if (const int error = Files::writeAll(handle, buffer.data(), buffer.size()))
        fail("write", error);
    buffer.clear();
}

bool OutputFile::rewriteStart(const std::string& bytes)
{
    flush();
    // Standard output may be a pipe, or a file opened for appending or
    // already holding other output: its start is not this output's.
    if (standardOutput || Files::seekToStart(handle) != 0)
        return false;
    if (const int error = Files::writeAll(handle, bytes.data(), bytes.size()))
        fail("write", error);
    return true;
}

void OutputFile::commit()
{
    flush();
    if (standardOutput)
        return;
    open = false;
    if (const int error = Files::closeFile(handle)) {
        Files::removeFile(temporaryPath);
        throw CommandError(kExitFailed, "cannot write " + finalPath + reason(error));
    }
    // Checked again: the name may have been taken while the output was written.
    try {
        checkOutputPath(finalPath, rules);
    } catch (const CommandError&) {
        Files::removeFile(temporaryPath);
        throw;
    }
    if (const int error = Files::moveFile(temporaryPath, finalPath, rules.overwrite)) {
        Files::removeFile(temporaryPath);
        if (Files::alreadyExists(error))
            throw CommandError(kExitOutputExists, finalPath + " appeared while it was written; nothing replaced");
        throw CommandError(kExitFailed, "cannot name " + finalPath + reason(error));
    }
}

std::string OutputFile::name() const
{
    return standardOutput ? "standard output" : finalPath;
}

} // namespace Qel::Cli
