// Construction, destruction, identity and the container's simple queries:
// the interface query, initialize, the reserved slots, the path, titles,
// file size and the MIME type table.
#include "container/ContainerQuickTime.h"

#include <cstring>
#include <iterator>

#include "media/BufferAllocator.h"
#include "plugin/ComponentIds.h"
#include "plugin/ContainerHost.h"
#include "plugin/ResultCodes.h"
#include "support/File.h"
#include "support/OutOfMemoryGuard.h"
#include "support/TextConversion.h"

namespace Qel {

namespace {

// The MIME types the container announces, all with the same priority.
constexpr const char* kMimeTypes[] = {
    "application/mp4", "audio/mp4",       "video/avi",     "video/mp4",       "video/mpeg",
    "video/msvideo",   "video/quicktime", "video/vnd.avi", "video/x-msvideo",
};
constexpr int32_t kMimeTypePriority = 2000;
constexpr int32_t kMediaBufferAllocatorParameter = 8;

StandardAllocator<unsigned char>* textAllocator()
{
    return &StandardAllocator<unsigned char>::instance();
}

// A host text from a container string; empty text gives null data.
String<unsigned char> makeText(const std::string& text)
{
    if (text.empty())
        return String<unsigned char>(nullptr, textAllocator());
    return String<unsigned char>(reinterpret_cast<const unsigned char*>(text.c_str()), textAllocator());
}

const char* bytesOf(const String<unsigned char>& text)
{
    return text.data ? reinterpret_cast<const char*>(text.data) : "";
}

} // namespace

int32_t ContainerQuickTime::runtimeUsers = 0;

bool ContainerQuickTime::MimeTypeOrder::operator()(const String<unsigned char>& a,
                                                   const String<unsigned char>& b) const
{
    return std::strcmp(bytesOf(a), bytesOf(b)) < 0;
}

ContainerQuickTime::ContainerQuickTime(PluginHost* host)
    : Plugin(host),
      titleId(0),
      movie(nullptr),
      timeScale(0),
      duration(0),
      durationMs(0),
      allocator(nullptr)
{
    for (const char* mimeType : kMimeTypes) {
        String<unsigned char> key(reinterpret_cast<const unsigned char*>(mimeType), textAllocator());
        mimeTypes.emplace(std::move(key), kMimeTypePriority);
    }
    allocator = new MediaBufferAllocator;
    allocator->setParameter(kMediaBufferAllocatorParameter);
}

// The remaining members go in reverse order of declaration: the MIME table,
// the title and path, the stream lists' storage (the streams are the
// host's), then the lock.
ContainerQuickTime::~ContainerQuickTime()
{
    ContainerQuickTime::close();
    forgetStreamsOutliving();
    // Chunks the host still holds keep the allocator until they are released.
    allocator->releaseHold();
}

// A null out has nowhere to receive the view: the query answers "not
// found" without writing.
int32_t ContainerQuickTime::queryInterface(const String<char>& id, void** out)
{
    if (!out)
        return kQueryNotFound;
    *out = nullptr;
    if (!sameIdentifier(id, kContainerInterfaceId))
        return kQueryNotFound;
    *out = static_cast<ContainerInterface*>(this);
    return kQueryFound;
}

void ContainerQuickTime::initialize(ContainerHost* host, uint64_t id)
{
    ContainerInterface::initialize(host, id);
    if (host)
        titleId = host->generateId();
}

void ContainerQuickTime::reserved3(uint32_t) {}

int32_t ContainerQuickTime::reserved4(uint32_t)
{
    return kResultFailure;
}

String<unsigned char>* ContainerQuickTime::getPath(String<unsigned char>* result)
{
    return returnByValue(result, [this] { return makeText(path); });
}

List<uint64_t>* ContainerQuickTime::getTitles(List<uint64_t>* result)
{
    return returnByValue(result, [this] {
        List<uint64_t> titles(&StandardAllocator<Node<uint64_t>>::instance());
        titles.pushBack(titleId);
        return titles;
    });
}

String<unsigned char>* ContainerQuickTime::getTitleName(String<unsigned char>* result, uint64_t id)
{
    return returnByValue(result, [this, id] { return makeText(id == titleId ? title : std::string()); });
}

// The file is opened anew for every query; only path needs to be set. Out
// of memory for the wide path, the query fails and size is left alone.
int32_t ContainerQuickTime::getFileSize(uint64_t* size)
{
    if (!size)
        return kResultFailure;
    return unlessOutOfMemory(
        [this, size] {
            File file;
            if (file.open(toWide(path), File::kReadExisting) != File::kOk)
                return kResultFailure;
            *size = file.size();
            file.close();
            return kResultSuccess;
        },
        [] { return kResultFailure; });
}

int32_t ContainerQuickTime::getMimeTypePriority(const String<unsigned char>& mimeType)
{
    auto found = mimeTypes.find(mimeType);
    return found == mimeTypes.end() ? -1 : found->second;
}

uint32_t ContainerQuickTime::getMimeTypeCount()
{
    return static_cast<uint32_t>(mimeTypes.size());
}

String<unsigned char>* ContainerQuickTime::getMimeType(String<unsigned char>* result, uint32_t index)
{
    return returnByValue(result, [this, index] {
        if (index >= mimeTypes.size())
            return String<unsigned char>(nullptr, textAllocator());
        return String<unsigned char>(std::next(mimeTypes.begin(), index)->first, textAllocator());
    });
}

int32_t ContainerQuickTime::getMimeTypePriorityAt(uint32_t index)
{
    if (index >= mimeTypes.size())
        return 0;
    return std::next(mimeTypes.begin(), index)->second;
}

} // namespace Qel
