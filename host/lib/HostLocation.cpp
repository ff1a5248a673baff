#include "HostLocation.h"

#include <cctype>

#include "media/StandardAllocator.h"

namespace Qel::Host {

namespace {

// Bytes of UTF-8 sequences stay as they are: the shell's conversion on
// Windows decodes an escape into one character of its own, so an escaped
// multi-byte character would come back as several.
bool keptAsIs(unsigned char byte)
{
    return byte >= 0x80 || std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~' ||
           byte == '/' || byte == ':';
}

} // namespace

std::string fileUrlFromPath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    if (path.empty() || (path[0] != '/' && path[0] != '\\'))
        url += '/';
    for (char c : path) {
        unsigned char byte = static_cast<unsigned char>(c == '\\' ? '/' : c);
        if (keptAsIs(byte)) {
            url += static_cast<char>(byte);
        } else {
            url += '%';
            url += hex[byte >> 4];
            url += hex[byte & 15];
        }
    }
    return url;
}

HostLocation::HostLocation(const unsigned char* text, bool attach)
    : storage(text, &StandardAllocator<unsigned char>::instance())
{
    this->text = attach ? &storage : nullptr;
}

HostLocation HostLocation::fromUrl(const std::string& url)
{
    return HostLocation(reinterpret_cast<const unsigned char*>(url.c_str()), true);
}

HostLocation HostLocation::fromPath(const std::string& path)
{
    return fromUrl(fileUrlFromPath(path));
}

HostLocation HostLocation::withEmptyText()
{
    return HostLocation(nullptr, true);
}

HostLocation HostLocation::withoutText()
{
    return HostLocation(nullptr, false);
}

std::string HostLocation::url() const
{
    if (!text || !text->data)
        return std::string();
    return std::string(reinterpret_cast<const char*>(text->data), text->length);
}

} // namespace Qel::Host
