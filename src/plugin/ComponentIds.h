// The identifiers of the host's component model, built when the module is
// loaded and freed when it is unloaded. Immutable after load, so any thread
// may read them. Only kContainerInterfaceId is ever answered by this
// plug-in; the others belong to the host's shared vocabulary.
#pragma once

#include "media/String.h"

namespace Qel {

extern const String<char> kContainerInterfaceId;
extern const String<char> kComponentInterfaceId;
extern const String<char> kInputComponentId;
extern const String<char> kInputInterfaceId;
extern const String<char> kSingleOutputComponentId;
extern const String<char> kMultipleOutputComponentId;
extern const String<char> kOutputComponentId;
extern const String<char> kOutputInterfaceId;

// True when both texts, read up to their terminating NUL, are equal byte for
// byte (case-sensitive). A string with null data counts as empty.
bool sameIdentifier(const String<char>& a, const String<char>& b);

} // namespace Qel
