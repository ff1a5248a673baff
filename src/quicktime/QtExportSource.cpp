#include "quicktime/QtExportSource.h"

#include <cstddef>
#include <type_traits>

#include "quicktime/QtOperations.h"

namespace Qel {

namespace {

// QtComponentParams with room for Count parameters.
template <size_t Count>
struct ParameterBlock {
    uint8_t flags;
    uint8_t paramBytes;
    int16_t what;
    uintptr_t params[Count];
};

static_assert(offsetof(ParameterBlock<9>, params) == offsetof(QtComponentParams, params));
static_assert(offsetof(ParameterBlock<3>, what) == offsetof(QtComponentParams, what));

// Each parameter as its slot word: pointers as addresses, integers with
// their sign (a negative time stays negative in the wider slot).
template <class T>
uintptr_t slot(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<uintptr_t>(value);
    else
        return static_cast<uintptr_t>(static_cast<intptr_t>(value));
}

template <class... Params>
QtLongStatus request(QtComponentInstance exporter, int16_t what, Params... params)
{
    ParameterBlock<sizeof...(Params)> block{0, static_cast<uint8_t>(sizeof...(Params) * sizeof(uintptr_t)), what,
                                            {slot(params)...}};
    return QtComponentRequest(exporter, reinterpret_cast<QtComponentParams*>(&block));
}

} // namespace

QtLongStatus QtExportSourceCreate(QtComponentInstance exporter, QtOSType mediaType, int32_t* timeScale,
                                  QtMovie movie, QtTrack track, QtTimeValue start, QtTimeValue duration,
                                  QtExportPropertyFunction* propertyFunction, QtExportDataFunction* dataFunction,
                                  void** context)
{
    return request(exporter, kQtExportSourceCreateRequest, mediaType, timeScale, movie, track, start, duration,
                   propertyFunction, dataFunction, context);
}

QtLongStatus QtExportSourceDispose(QtComponentInstance exporter, QtExportPropertyFunction propertyFunction,
                                   QtExportDataFunction dataFunction, void* context)
{
    return request(exporter, kQtExportSourceDisposeRequest, propertyFunction, dataFunction, context);
}

} // namespace Qel
