// Movies for the road: a synthetic movie document written to a file of the
// temporary folder (removed again by the destructor), and the file URL that
// a host hands the plug-in for a path.
#pragma once

#include "Freestanding.h"

namespace Host {

// UTF-16 text as UTF-8 (code points of the basic plane).
void appendUtf8(Bytes& out, const wchar_t* text);

// A file URL for a Windows path: "file:///C:/folder/name", with every byte
// outside letters, digits and "-._~/:" percent-encoded.
void appendFileUrl(Bytes& out, const wchar_t* path);

class TemporaryMovie {
public:
    // Writes document to a new file in the temporary folder.
    explicit TemporaryMovie(Bytes& document);
    ~TemporaryMovie();
    TemporaryMovie(const TemporaryMovie&) = delete;
    TemporaryMovie& operator=(const TemporaryMovie&) = delete;

    bool written() const { return ok; }
    const wchar_t* path() const { return fullPath; }
    uint32_t size() const { return bytes; }

private:
    wchar_t fullPath[300] = {};
    bool ok = false;
    uint32_t bytes = 0;
};

} // namespace Host
