#include "operations/Registry.h"

#include <algorithm>

namespace QelRuntime {

namespace {

// Handles step by 16 so that they look like aligned addresses without ever
// being one the caller could follow.
constexpr uintptr_t kHandleStep = 16;

} // namespace

uintptr_t Registry::insert(ObjectKind kind, std::unique_ptr<RuntimeObject> object)
{
    lastHandle += kHandleStep;
    objects.emplace(lastHandle, Entry{kind, std::move(object)});
    return lastHandle;
}

RuntimeObject* Registry::lookup(ObjectKind kind, uintptr_t handle) const
{
    auto it = objects.find(handle);
    return it != objects.end() && it->second.kind == kind ? it->second.object.get() : nullptr;
}

bool Registry::dispose(uintptr_t handle)
{
    auto it = objects.find(handle);
    if (it == objects.end())
        return false;
    std::unique_ptr<RuntimeObject> object = std::move(it->second.object);
    objects.erase(it);
    std::vector<uintptr_t> dependents;
    for (const auto& [other, entry] : objects) {
        const std::vector<uintptr_t>& on = entry.object->dependsOn;
        if (std::find(on.begin(), on.end(), handle) != on.end())
            dependents.push_back(other);
    }
    for (uintptr_t dependent : dependents)
        dispose(dependent);
    for (auto block = handles.begin(); block != handles.end();)
        block = block->second->owner == handle ? handles.erase(block) : std::next(block);
    return true;
}

QtHandle Registry::newHandle(size_t size, uintptr_t owner)
{
    auto block = std::make_unique<HandleBlock>();
    block->storage.resize(size);
    block->master = block->storage.data();
    block->owner = owner;
    QtHandle handle = &block->master;
    handles.emplace(handle, std::move(block));
    return handle;
}

bool Registry::isHandle(QtHandle handle) const
{
    return handles.count(handle) != 0;
}

bool Registry::isCallerHandle(QtHandle handle) const
{
    auto it = handles.find(handle);
    return it != handles.end() && it->second->owner == 0;
}

size_t Registry::handleSize(QtHandle handle) const
{
    auto it = handles.find(handle);
    return it != handles.end() ? it->second->storage.size() : 0;
}

void Registry::resizeHandle(QtHandle handle, size_t size)
{
    auto it = handles.find(handle);
    if (it == handles.end())
        return;
    it->second->storage.resize(size);
    it->second->master = it->second->storage.data();
}

void Registry::disposeHandle(QtHandle handle)
{
    auto it = handles.find(handle);
    if (it != handles.end() && it->second->owner == 0)
        handles.erase(it);
}

} // namespace QelRuntime
