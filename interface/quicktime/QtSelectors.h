// The dispatcher selector of every operation of the table, as named
// constants: the runtime dispatches on them and tests name them.
#pragma once

#include "quicktime/QtTypes.h"

namespace Qel {

enum class QtSelector : uint32_t {
#define QT_OPERATION(name, selector, result, params) name = selector,
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
};

} // namespace Qel
