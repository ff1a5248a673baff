// The process-wide named mutex on POSIX systems. Objects created under the
// same name share one recursive mutex, which lives while any of them does,
// as a named Windows mutex lives while a handle to it is open. As with
// ReleaseMutex, an unlock by a thread that does not own the mutex is ignored.
#include "support/Platform.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace Qel::Platform {

namespace {

struct SharedMutex {
    std::recursive_mutex mutex;
    // Who holds the mutex and how often; written only by the holder.
    std::atomic<std::thread::id> owner{};
    unsigned int depth = 0;
    std::string name;
    bool named = false;
    unsigned int openCount = 0;
};

std::mutex& registryLock()
{
    static std::mutex lock;
    return lock;
}

std::map<std::string, SharedMutex*>& registry()
{
    static std::map<std::string, SharedMutex*> mutexes;
    return mutexes;
}

SharedMutex* openShared(const char* name)
{
    std::lock_guard<std::mutex> guard(registryLock());
    if (!name || !*name) {
        auto* unnamed = new SharedMutex();
        unnamed->openCount = 1;
        return unnamed;
    }
    SharedMutex*& entry = registry()[name];
    if (!entry) {
        entry = new SharedMutex();
        entry->name = name;
        entry->named = true;
    }
    ++entry->openCount;
    return entry;
}

void closeShared(SharedMutex* shared)
{
    std::lock_guard<std::mutex> guard(registryLock());
    if (--shared->openCount > 0)
        return;
    if (shared->named)
        registry().erase(shared->name);
    delete shared;
}

} // namespace

NamedMutex::NamedMutex(const char* name)
    : handle(openShared(name))
    , held(false)
{
}

NamedMutex::~NamedMutex()
{
    if (held)
        unlock();
    closeShared(static_cast<SharedMutex*>(handle));
}

void NamedMutex::lock()
{
    auto* shared = static_cast<SharedMutex*>(handle);
    shared->mutex.lock();
    shared->owner = std::this_thread::get_id();
    ++shared->depth;
    held = true;
}

void NamedMutex::unlock()
{
    auto* shared = static_cast<SharedMutex*>(handle);
    held = false;
    if (shared->owner != std::this_thread::get_id())
        return;
    if (--shared->depth == 0)
        shared->owner = std::thread::id();
    shared->mutex.unlock();
}

} // namespace Qel::Platform
