#include "operations/StrictLifetimes.h"

#include <cstdio>

namespace QelRuntime {

namespace {

void report(const char* what)
{
    std::fprintf(stderr, "QuickTime.qts: strict lifetimes: %s\n", what);
}

template <class Object>
void reportMadeFrom(const RuntimeState& state, uintptr_t movie, const char* what)
{
    for (const Object* object : state.registry.all<Object>())
        if (object->movie == movie)
            report(what);
}

template <class Object>
void reportLeft(const RuntimeState& state, const char* kind)
{
    const size_t count = state.registry.all<Object>().size();
    if (count != 0)
        std::fprintf(stderr, "QuickTime.qts: strict lifetimes: %zu %s left at termination\n", count, kind);
}

} // namespace

void reportOutliving(RuntimeState& state, uintptr_t disposed)
{
    if (!state.strictLifetimes)
        return;
    if (state.movie(disposed) != nullptr) {
        reportMadeFrom<ExtractionObject>(state, disposed, "an extraction outlives its movie");
        reportMadeFrom<ExportSourceObject>(state, disposed, "an export source outlives its movie");
        reportMadeFrom<SequenceObject>(state, disposed, "a sequence outlives its movie");
    }
    for (const SequenceObject* sequence : state.registry.all<SequenceObject>())
        if (sequence->surface == disposed)
            report("a sequence outlives its surface");
}

void reportLeftovers(const RuntimeState& state)
{
    if (!state.strictLifetimes)
        return;
    reportLeft<MovieObject>(state, "movie(s)");
    reportLeft<ExtractionObject>(state, "extraction(s)");
    reportLeft<ComponentInstanceObject>(state, "component instance(s)");
    reportLeft<ExportSourceObject>(state, "export source(s)");
    reportLeft<SurfaceObject>(state, "surface(s)");
    reportLeft<SequenceObject>(state, "sequence(s)");
}

RuntimeState::~RuntimeState()
{
    reportLeftovers(*this);
}

} // namespace QelRuntime
