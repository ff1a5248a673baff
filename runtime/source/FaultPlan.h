// The faults of one movie and how many times each operation has been
// called on it, so that a fault fires from its Nth call for M calls.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "source/MovieModel.h"

namespace QelRuntime {

// The name under which faults of the export source's data function are given.
constexpr char kExportDataFunction[] = "ExportDataFunction";

// Whether faults may make this operation answer a status.
bool isStatusFaultOperation(const std::string& operation);

class FaultPlan {
public:
    explicit FaultPlan(const std::vector<Fault>* faults = nullptr) : faults(faults) {}

    // Counts one call of `operation` (on `track`, 0 for none) and answers
    // the first fault that applies to this call, or null.
    const Fault* call(const char* operation, int32_t track = 0);

private:
    const std::vector<Fault>* faults;
    std::map<std::string, int32_t> callCounts;
};

} // namespace QelRuntime
