#include "core/MovieSource.h"
#include "core/SyntheticSource.h"

namespace Qel::Runtime {

const std::vector<const MovieSourceFactory*>& movieSourceFactories()
{
    static const SyntheticSourceFactory synthetic;
    static const std::vector<const MovieSourceFactory*> factories{&synthetic};
    return factories;
}

} // namespace Qel::Runtime
