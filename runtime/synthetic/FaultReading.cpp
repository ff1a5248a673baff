#include <stdexcept>
#include <string>

#include "synthetic/DocumentReading.h"
#include "source/FaultPlan.h"

namespace QelRuntime::DocumentReading {

using nlohmann::json;

namespace {

// The one operation an effect other than a status applies to.
void requireOperation(const Fault& fault, const char* effect, const char* operation)
{
    if (fault.operation != operation)
        throw std::runtime_error(std::string("fault effect \"") + effect + "\" applies to " + operation +
                                 " only");
}

void readEffects(const json& entry, Fault& fault)
{
    if (entry.contains("status")) {
        if (!isStatusFaultOperation(fault.operation))
            throw std::runtime_error("operation " + fault.operation + " cannot answer an injected status");
        fault.status = intValue(entry.at("status"), "status", INT32_MIN, INT32_MAX);
    }
    if (entry.contains("descriptionType")) {
        requireOperation(fault, "descriptionType", kExportDataFunction);
        fault.descriptionType = readCode(entry.at("descriptionType"), "descriptionType");
    }
    fault.nullDescription = readBool(entry, "nullDescription", false);
    if (fault.nullDescription)
        requireOperation(fault, "nullDescription", kExportDataFunction);
    fault.nullSurface = readBool(entry, "nullSurface", false);
    if (fault.nullSurface)
        requireOperation(fault, "nullSurface", "QtSurfaceCreate");
    fault.noCode = readBool(entry, "noCode", false);
    if (fault.noCode)
        requireOperation(fault, "noCode", "QtMediaType");
    if (entry.contains("noneAfter")) {
        requireOperation(fault, "noneAfter", "QtTrackNextTime");
        fault.noneAfter = intValue(entry.at("noneAfter"), "noneAfter", -1, INT32_MAX);
    }
    fault.complete = readBool(entry, "complete", false);
    if (fault.complete)
        requireOperation(fault, "complete", "QtExtractFill");
    if (!fault.status && !fault.descriptionType && !fault.nullDescription && !fault.nullSurface &&
        !fault.noCode && !fault.noneAfter && !fault.complete)
        throw std::runtime_error("fault on " + fault.operation + " has no effect");
}

} // namespace

std::vector<Fault> readFaults(const json& list)
{
    if (!list.is_array())
        throw std::runtime_error("faults must be a list");
    std::vector<Fault> faults;
    for (const json& entry : list) {
        checkKeys(entry,
                  {"operation", "fromCall", "calls", "track", "status", "descriptionType", "nullDescription",
                   "nullSurface", "noCode", "noneAfter", "complete"},
                  "fault");
        Fault fault;
        fault.operation = required(entry, "operation", "fault").get<std::string>();
        fault.fromCall = readInt(entry, "fromCall", 1, 1, INT32_MAX);
        fault.calls = readInt(entry, "calls", 0, 0, INT32_MAX);
        fault.track = readInt(entry, "track", 0, 0, INT32_MAX);
        readEffects(entry, fault);
        faults.push_back(fault);
    }
    return faults;
}

} // namespace QelRuntime::DocumentReading
