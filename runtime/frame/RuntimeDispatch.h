// The frame every runtime library (QuickTime.qts) shares: how a call that
// the plug-in's stubs send to theQuickTimeDispatcher reaches C++.
//
// The plug-in calls an operation as an ordinary C function; its stub puts
// the operation's selector in eax/rax and jumps to theQuickTimeDispatcher
// (Dispatcher.S), which hands the selector and a view of the caller's
// arguments to qelRuntimeDispatch. That one function, defined by each
// runtime library, answers a word that the dispatcher returns straight to
// the caller. The typed invocation below turns the view into the typed
// arguments of an operation of the table (quicktime/QtOperationList.h) and
// its result back into that word.
//
// A runtime implements operation X of the table as QelRuntime::X with the
// table's signature; the frame itself implements QtRuntimeInit,
// QtRuntimeTerm and QtRuntimeStateQuery (RuntimeState.cpp). A full runtime's
// dispatch function is then simply:
//
//   extern "C" intptr_t qelRuntimeDispatch(uint32_t selector,
//                                          const QelRuntime::RuntimeArgs& args) noexcept
//   {
//       return QelRuntime::dispatchOperation(selector, args);
//   }
//
// Calls arrive on whatever thread the plug-in calls from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "QuickTimeInterface.h"

#if defined(_WIN32)
// Windows exports are chosen by the library's .def file.
#define QEL_RUNTIME_EXPORT
#else
#define QEL_RUNTIME_EXPORT __attribute__((visibility("default")))
#endif

namespace QelRuntime {

// What theQuickTimeDispatcher saw of its caller's arguments, one machine word
// per argument (every argument of the table fits in one). The layout is
// filled in by Dispatcher.S.
struct RuntimeArgs {
#if defined(__x86_64__) && !defined(_WIN32)
    uintptr_t registers[6];  // rdi, rsi, rdx, rcx, r8, r9
    const uintptr_t* stack;  // the seventh argument onwards
    uintptr_t arg(size_t index) const { return index < 6 ? registers[index] : stack[index - 6]; }
#elif defined(__i386__)
    const uintptr_t* stack;  // the stack words after the return address
    uintptr_t arg(size_t index) const { return stack[index]; }
#else
#error "The runtime's dispatcher supports i386 and x86_64 System V only"
#endif
};

// The runtime's own implementation of every operation of the table.
#define QT_OPERATION(name, selector, result, params) result name params;
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION

// An argument word as the parameter type. Narrow integers take the low bits
// only: the caller leaves the rest of the word undefined.
template <class T>
T argumentAs(uintptr_t word)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(word);
    else
        return static_cast<T>(word);
}

// A result as the word returned in eax/rax.
template <class T>
intptr_t resultWord(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<intptr_t>(value);
    else
        return static_cast<intptr_t>(value);
}

template <class Result, class... Params, size_t... Index>
intptr_t invokeWith(Result (*operation)(Params...), const RuntimeArgs& args, std::index_sequence<Index...>)
{
    if constexpr (std::is_void_v<Result>) {
        operation(argumentAs<Params>(args.arg(Index))...);
        return 0;
    } else {
        return resultWord(operation(argumentAs<Params>(args.arg(Index))...));
    }
}

// Calls operation with the caller's arguments and answers its result word.
template <class Result, class... Params>
intptr_t invoke(Result (*operation)(Params...), const RuntimeArgs& args)
{
    return invokeWith(operation, args, std::index_sequence_for<Params...>{});
}

// The number of parameters of an operation's function type.
template <class Function>
struct ParameterCount;
template <class Result, class... Params>
struct ParameterCount<Result(Params...)> : std::integral_constant<size_t, sizeof...(Params)> {};

// Routes a selector of the table to the runtime's implementation; a
// selector outside the table answers kQtNotBound (-2095) and calls nothing.
inline intptr_t dispatchOperation(uint32_t selector, const RuntimeArgs& args)
{
    switch (selector) {
#define QT_OPERATION(name, selectorValue, result, params) \
    case selectorValue:                                   \
        return invoke(&name, args);
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
    default:
        return kQtNotBound;
    }
}

} // namespace QelRuntime

// Defined by each runtime library. Must not throw: there is no unwind path
// through the dispatcher back into the plug-in.
extern "C" intptr_t qelRuntimeDispatch(uint32_t selector, const QelRuntime::RuntimeArgs& args) noexcept;
