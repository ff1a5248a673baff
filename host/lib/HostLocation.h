// The host's Location: what to open, as UTF-8 text (normally a file URL)
// that the location owns and the container reads through the object's
// second word.
#pragma once

#include <string>

#include "media/String.h"
#include "plugin/Location.h"

namespace Qel::Host {

// "file:///" followed by the absolute path in '/' form, each ASCII byte
// outside the unreserved characters, '/' and ':' percent-encoded; non-ASCII
// characters are kept as UTF-8. Windows paths ("C:\dir\a b.mov") give
// "file:///C:/dir/a%20b.mov", POSIX paths ("/tmp/a b.mov") give
// "file:///tmp/a%20b.mov".
std::string fileUrlFromPath(const std::string& path);

class HostLocation : public Location {
    QEL_DESTRUCTOR_SLOT(HostLocation)
public:
    // The text as given, for any URL or text a test wants to try.
    static HostLocation fromUrl(const std::string& url);
    // The file URL of an absolute local path.
    static HostLocation fromPath(const std::string& path);
    // A location that carries a String with null data.
    static HostLocation withEmptyText();
    // A location whose text pointer itself is null.
    static HostLocation withoutText();

    // Not copyable: text points into the object itself.
    HostLocation(const HostLocation&) = delete;
    HostLocation& operator=(const HostLocation&) = delete;
    ~HostLocation() = default;

    // The location's text, empty when it has none.
    std::string url() const;

private:
    HostLocation(const unsigned char* text, bool attach);

    String<unsigned char> storage;
};

} // namespace Qel::Host
