// ExampleHost.cpp: the smallest complete host of QelContainerQuickTime.dll,
// for host engines built with the Microsoft C++ ABI (MSVC or clang-cl).
//
// It loads the plug-in DLL, opens a movie, reads the first chunks of every
// stream, and then releases everything in the order the plug-in expects:
// each chunk as soon as it is used, each stream (closeStream), the title
// (closeTitle, which hands every stream back through removeStream), the
// movie (close), the plug-in (its last dropReference) and the DLL.
//
// Build it for 32-bit Windows, as the DLL is, with this folder's
// QelHostInterface.h beside it. From a Visual Studio "x86 Native Tools"
// prompt:
//     cl /nologo /std:c++17 /EHsc /W4 ExampleHost.cpp
// or with clang-cl and the Windows SDK:
//     clang-cl --target=i686-pc-windows-msvc /std:c++17 /EHsc /W4 ExampleHost.cpp
// Run it on the installed plug-in and any movie:
//     ExampleHost.exe "C:\Program Files (x86)\QelContainerQuickTime\lib\QelContainerQuickTime\QelContainerQuickTime.dll" movie.mp4
//
// The plug-in finds the QuickTime runtime by itself: an installed QuickTime,
// or the runtime the installer registered (README.md, "The Windows
// release"). Without one, open answers 0x8020000A.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "QelHostInterface.h"

using namespace Host;

namespace {

constexpr int kChunksPerStream = 3;
constexpr int kMaxStreams = 32;

// Told before and after the plug-in deletes itself, on its last reference.
class ExamplePluginHost : public PluginHost {
public:
    void onPluginReleasing(Plugin*) override { printf("plug-in releasing\n"); }
    void onPluginReleased(Plugin*) override { printf("plug-in released\n"); }
};

// Issues the identifiers of the title and the streams, and keeps the streams
// of the opened title: each is the host's from addStream on, and the host
// deletes it when the plug-in takes it back with removeStream.
class ExampleContainerHost : public ContainerHost {
public:
    uint64_t generateId() override { return ++lastId; }
    void addStream(StreamInterface* stream) override
    {
        if (count < kMaxStreams)
            streams[count++] = stream;
    }
    void removeStream(uint64_t streamId) override
    {
        for (int i = 0; i < count; ++i) {
            if (streams[i] && streams[i]->streamId == streamId) {
                delete streams[i];
                streams[i] = nullptr;
            }
        }
    }
    // The plug-in suggests the streams to play; this host reads them all.
    void activateStream(uint64_t, uint32_t) override {}

    StreamInterface* streams[kMaxStreams] = {};
    int count = 0;

private:
    uint64_t lastId = 1;  // 1 is the container's own identifier
};

// A location: the movie's file URL as UTF-8 text.
class FileLocation : public Location {
public:
    explicit FileLocation(Text* url) { text = url; }
};

// "file:///C:/folder/movie.mp4" for a path, UTF-8 and percent-encoded.
// False when it does not fit.
bool fileUrl(const wchar_t* path, char* url, int capacity)
{
    wchar_t full[MAX_PATH];
    char utf8[3 * MAX_PATH];
    DWORD fullLength = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    if (fullLength == 0 || fullLength >= MAX_PATH ||
        WideCharToMultiByte(CP_UTF8, 0, full, -1, utf8, sizeof utf8, nullptr, nullptr) == 0)
        return false;
    const char* hex = "0123456789ABCDEF";
    int length = 0;
    for (const char* prefix = "file:///"; *prefix; ++prefix)
        url[length++] = *prefix;
    for (const unsigned char* byte = reinterpret_cast<unsigned char*>(utf8); *byte; ++byte) {
        if (length + 4 > capacity)
            return false;
        const unsigned char c = *byte == '\\' ? '/' : *byte;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == ':' || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            url[length++] = static_cast<char>(c);
        } else {
            url[length++] = '%';
            url[length++] = hex[c >> 4];
            url[length++] = hex[c & 15];
        }
    }
    url[length] = '\0';
    return true;
}

// Opens the stream without a clock (nothing to keep pace with: every chunk
// is delivered), reads its first chunks and closes it. Each chunk goes back
// to the plug-in through its own release once the host is done with it.
int readFirstChunks(StreamInterface* stream)
{
    const char* kind = stream->getKind() == kKindVideo ? "video" : "audio";
    if (stream->openStream(nullptr) != 0) {
        printf("%s stream: openStream failed\n", kind);
        return 0;
    }
    int chunks = 0;
    while (chunks < kChunksPerStream && !stream->isEndOfStream()) {
        MediaChunk* chunk = nullptr;
        if (stream->readStream(&chunk) != 0 || !chunk)
            break;
        // The chunk's block: dataSize bytes (a video chunk also sets
        // dataLength to its picture's bytes; a sound chunk leaves it 0).
        printf("%s chunk at %u ms, %u ms long, %u bytes\n", kind, chunk->startTime, chunk->duration,
               chunk->dataSize);
        chunk->release();
        ++chunks;
    }
    stream->closeStream();
    return chunks;
}

// The movie's one title, its streams read, and everything closed again.
// True when every stream delivered chunks.
bool playMovie(ContainerInterface* container, ExampleContainerHost& host, const wchar_t* movie)
{
    char url[4 * MAX_PATH];
    if (!fileUrl(movie, url, sizeof url)) {
        printf("the movie's path is too long\n");
        return false;
    }
    Text urlText = {reinterpret_cast<unsigned char*>(url), static_cast<uint32_t>(strlen(url)), nullptr};
    FileLocation location(&urlText);
    const int32_t opened = container->open(&location);
    if (opened != 0) {
        printf("open %s failed: 0x%08X\n", url, static_cast<unsigned>(opened));
        return false;
    }
    // The list is the host's now: free its nodes through its allocator.
    List<uint64_t> titles = container->getTitles();
    const uint64_t title = titles.head ? titles.head->value : 0;
    for (Node<uint64_t>* node = titles.head; node;) {
        Node<uint64_t>* next = node->next;
        titles.allocator->deallocate(node);
        node = next;
    }
    bool everyStreamRead = false;
    if (container->openTitle(title) == 0) {
        printf("%s: %d streams\n", url, host.count);
        everyStreamRead = host.count > 0;
        for (int i = 0; i < host.count; ++i)
            everyStreamRead = readFirstChunks(host.streams[i]) > 0 && everyStreamRead;
        container->closeTitle(false);
    }
    container->close();
    return everyStreamRead;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        printf("usage: ExampleHost PLUGIN.dll MOVIE\n");
        return 2;
    }
    HMODULE module = LoadLibraryW(argv[1]);
    auto getPlugin = module ? reinterpret_cast<GetPlugin>(GetProcAddress(module, "_getPlugin")) : nullptr;
    if (!getPlugin) {
        printf("cannot load the plug-in %ls\n", argv[1]);
        return 1;
    }
    ExamplePluginHost pluginHost;
    Plugin* plugin = nullptr;
    if (getPlugin(&pluginHost, &plugin) != 0 || !plugin) {
        printf("getPlugin failed\n");
        FreeLibrary(module);
        return 1;
    }
    // The container view of the same object, asked for by its identifier.
    char containerId[] = "com.ombrix.flowvane.interface.container";
    const String<char> id = {containerId, static_cast<uint32_t>(strlen(containerId)), nullptr};
    void* view = nullptr;
    bool played = false;
    ExampleContainerHost containerHost;  // outlives the plug-in, which calls it
    if (plugin->queryInterface(id, &view) == 0 && view) {
        auto* container = static_cast<ContainerInterface*>(view);
        container->initialize(&containerHost, 1);
        played = playMovie(container, containerHost, argv[2]);
    }
    // The last reference: the plug-in deletes itself, telling the host
    // before and after. Only then may the DLL go.
    plugin->dropReference();
    FreeLibrary(module);
    return played ? 0 : 1;
}
