#include "synthetic/DocumentReading.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace QelRuntime::DocumentReading {

using nlohmann::json;

void checkKeys(const json& object, std::initializer_list<const char*> allowed, const char* where)
{
    if (!object.is_object())
        throw std::runtime_error(std::string(where) + " must be an object");
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* key : allowed)
            known = known || item.key() == key;
        if (!known)
            throw std::runtime_error("unknown key \"" + item.key() + "\" in " + where);
    }
}

const json& required(const json& object, const char* key, const char* where)
{
    if (!object.contains(key))
        throw std::runtime_error(std::string(where) + " needs \"" + key + "\"");
    return object.at(key);
}

QtOSType readCode(const json& value, const char* where)
{
    if (value.is_number_unsigned() && value.get<uint64_t>() <= UINT32_MAX)
        return QtOSType(value.get<uint64_t>());
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text.size() == 4)
            return fourCc(text[0], text[1], text[2], text[3]);
    }
    throw std::runtime_error(std::string(where) + " must be four one-byte characters or a number");
}

int32_t intValue(const json& value, const char* key, int64_t minimum, int64_t maximum)
{
    if (!value.is_number_integer() || value.get<int64_t>() < minimum || value.get<int64_t>() > maximum)
        throw std::runtime_error(std::string(key) + " must be an integer from " + std::to_string(minimum) +
                                 " to " + std::to_string(maximum));
    return int32_t(value.get<int64_t>());
}

int64_t readInt64(const json& object, const char* key, int64_t fallback, int64_t minimum, int64_t maximum)
{
    if (!object.contains(key)) {
        if (fallback < minimum)
            throw std::runtime_error(std::string("missing \"") + key + "\"");
        return fallback;
    }
    const json& value = object.at(key);
    if (!value.is_number_integer() || value.get<int64_t>() < minimum || value.get<int64_t>() > maximum)
        throw std::runtime_error(std::string(key) + " must be an integer from " + std::to_string(minimum) +
                                 " to " + std::to_string(maximum));
    return value.get<int64_t>();
}

int32_t readInt(const json& object, const char* key, int64_t fallback, int64_t minimum, int64_t maximum)
{
    return int32_t(readInt64(object, key, fallback, minimum, maximum));
}

bool readBool(const json& object, const char* key, bool fallback)
{
    if (!object.contains(key))
        return fallback;
    if (!object.at(key).is_boolean())
        throw std::runtime_error(std::string(key) + " must be true or false");
    return object.at(key).get<bool>();
}

} // namespace QelRuntime::DocumentReading
