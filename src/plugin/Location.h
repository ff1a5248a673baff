// The host's description of what to open. The container reads only the
// object's second word: a pointer to the location as UTF-8 text (a file
// URL), which may be null.
#pragma once

#include "media/String.h"
#include "support/DestructorSlot.h"

namespace Qel {

class Location {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    String<unsigned char>* text;  // second word; not owned by the container

protected:
    Location() : text(nullptr) {}
    ~Location() = default;
};

} // namespace Qel
