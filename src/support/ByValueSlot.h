// Slots that hand a String or a List to the host by value.
//
// Hosts are built with the Microsoft C++ ABI. There a __thiscall member
// function that returns a record with a constructor or destructor takes
// `this` in ECX and the address of the caller's uninitialised storage as its
// first stack argument, builds the record there and returns the same address
// in EAX. GCC (and clang in MinGW mode) swaps the first two: the address in
// ECX, `this` on the stack. A slot written as `String getPath()` and built by
// MinGW would therefore build its result over the object it was called on.
//
// So every such slot is declared with the storage as an explicit first
// parameter and returns it:
//     virtual String<unsigned char>* getPath(String<unsigned char>* result);
// which every compiler passes in the Microsoft order on i386 Windows.
//
// The Linux build uses the same explicit form rather than the natural one:
// the plug-in, its callers and its tests then have one shape on both builds,
// and the Linux tests exercise the code the Windows host calls. A Linux host
// must call these slots in that form too, through callByValue: on x86-64 the
// natural declaration `String getPath()` passes the result's address in the
// first argument register and `this` in the second, the reverse of the
// explicit form. Only a compiler of the Microsoft ABI makes the two the same
// call. callByValue refuses, at compile time, a slot declared the natural way
// by any other compiler, and a host that writes its own declarations can
// check each of them with isExplicitByValueSlot.
//
// The implementation builds its record with returnByValue; a caller in this
// project calls the slot with callByValue, never by hand.
#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "support/OutOfMemoryGuard.h"

namespace Qel {

// Builds make()'s record in the caller's storage and returns its address.
// When memory runs out (support/OutOfMemoryGuard.h) the slot hands back the
// empty record instead (null data, or no nodes), which the host already
// reads as "nothing there".
template <class Record, class Make>
Record* returnByValue(Record* result, Make make) noexcept
{
    return unlessOutOfMemory([result, &make] { return new (result) Record(make()); },
                             [result] { return new (result) Record(); });
}

// Whether Slot is a by-value slot in the explicit form: the caller's storage
// first, its address returned. For example, in a host's own header:
//     static_assert(Qel::isExplicitByValueSlot<decltype(&HostContainer::getPath)>);
template <class Slot>
struct IsExplicitByValueSlot : std::false_type {};
template <class Record, class Interface, class... Params>
struct IsExplicitByValueSlot<Record* (Interface::*)(Record*, Params...)> : std::true_type {};
template <class Slot>
inline constexpr bool isExplicitByValueSlot = IsExplicitByValueSlot<Slot>::value;

#if !defined(_MSC_VER)
// A slot declared with a by-value return, which only the Microsoft ABI
// passes as the plug-in's slots expect.
template <class Record, class Interface, class Object, class... Params, class... Args>
Record callByValue(Object&, Record (Interface::*)(Params...), Args&&...)
{
    static_assert(isExplicitByValueSlot<Record (Interface::*)(Params...)>,
                  "declare by-value slots with the caller's storage first (support/ByValueSlot.h): "
                  "outside the Microsoft ABI a by-value return passes this and the storage in the other order");
    return Record();
}
#endif

// Calls a by-value slot on object with storage of its own and hands back
// the record the slot built, which the caller then owns.
template <class Record, class Interface, class Object, class... Params, class... Args>
Record callByValue(Object& object, Record* (Interface::*slot)(Record*, Params...), Args&&... args)
{
    alignas(Record) unsigned char storage[sizeof(Record)];
    Record* built = (object.*slot)(reinterpret_cast<Record*>(storage), std::forward<Args>(args)...);
    Record taken(std::move(*built));
    built->~Record();
    return taken;
}

} // namespace Qel
