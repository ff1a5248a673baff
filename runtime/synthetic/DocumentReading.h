// Typed reading of the values of a synthetic movie document. Every reader
// throws std::runtime_error naming the offending key, so a malformed
// document is reported with its reason.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <vector>

#include "source/MovieModel.h"

namespace QelRuntime::DocumentReading {

// Refuses a key that is not in `allowed`: a misspelt key would otherwise be
// silently ignored.
void checkKeys(const nlohmann::json& object, std::initializer_list<const char*> allowed, const char* where);

const nlohmann::json& required(const nlohmann::json& object, const char* key, const char* where);

// A four-character code: a string of four one-byte characters or a number.
QtOSType readCode(const nlohmann::json& value, const char* where);

int32_t intValue(const nlohmann::json& value, const char* key, int64_t minimum, int64_t maximum);

// An integer member within [minimum, maximum]; `fallback` when absent, or
// required when `fallback` is below `minimum`.
int32_t readInt(const nlohmann::json& object, const char* key, int64_t fallback, int64_t minimum,
                int64_t maximum);
int64_t readInt64(const nlohmann::json& object, const char* key, int64_t fallback, int64_t minimum,
                  int64_t maximum);
bool readBool(const nlohmann::json& object, const char* key, bool fallback);

std::vector<Fault> readFaults(const nlohmann::json& list);

} // namespace QelRuntime::DocumentReading
