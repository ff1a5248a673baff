#include "source/FaultPlan.h"

namespace QelRuntime {

bool isStatusFaultOperation(const std::string& operation)
{
    static const char* const operations[] = {
        "QtFileType",        "QtFileProbe",        "QtMovieFileOpen",     "QtMovieLoad",
        "QtMovieFileClose",  "QtUserDataItem",     "QtUserDataText",      "QtExtractBegin",
        "QtExtractEnd",      "QtExtractFill",      "QtExtractPropertyInfo", "QtExtractPropertyGet",
        "QtExtractPropertySet", "QtComponentOpen", "QtComponentClose",    "QtComponentRequest",
        "QtSurfaceCreate",   "QtDecompressStart",  "QtDecompressFrame",   "QtDecompressStop",
        kExportDataFunction};
    for (const char* candidate : operations)
        if (operation == candidate)
            return true;
    return false;
}

const Fault* FaultPlan::call(const char* operation, int32_t track)
{
    if (faults == nullptr || faults->empty())
        return nullptr;
    int32_t number = ++callCounts[operation];
    for (const Fault& fault : *faults) {
        if (fault.operation != operation || number < fault.fromCall)
            continue;
        if (fault.calls > 0 && number - fault.fromCall >= fault.calls)
            continue;
        if (fault.track != 0 && fault.track != track)
            continue;
        return &fault;
    }
    return nullptr;
}

} // namespace QelRuntime
