#include "mosaic/search/json_fields.h"

namespace {

const nlohmann::json* member(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    return found != object.end() ? &*found : nullptr;
}

}  // namespace

const std::string* jsonString(const nlohmann::json& object, const char* key) {
    const nlohmann::json* found = member(object, key);
    return found != nullptr && found->is_string() ? &found->get_ref<const std::string&>() : nullptr;
}

const nlohmann::json* jsonObject(const nlohmann::json& object, const char* key) {
    const nlohmann::json* found = member(object, key);
    return found != nullptr && found->is_object() ? found : nullptr;
}

const nlohmann::json* jsonArray(const nlohmann::json& object, const char* key) {
    const nlohmann::json* found = member(object, key);
    return found != nullptr && found->is_array() ? found : nullptr;
}
