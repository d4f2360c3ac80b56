// The snake_case to camelCase key conversion every reply goes through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "backend/json_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string key = corvanta::backend::convertKeyFromSnakeCase(text);
    // A key with nothing left to convert stays as it is.
    if (corvanta::backend::convertKeyFromSnakeCase(key) != key &&
        key.find('_') == std::string::npos) {
        std::abort();
    }
    // Small documents only: the envelope refuses deep ones before converting them, and the
    // conversion recurses.
    if (size > 512) {
        return 0;
    }
    auto parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_discarded()) {
        const auto converted = corvanta::backend::convertKeysFromSnakeCase(parsed);
        if (converted.type() != parsed.type() || converted.size() > parsed.size()) {
            std::abort();
        }
    }
    return 0;
}
