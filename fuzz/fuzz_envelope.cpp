// The envelope of every backend reply, from raw bytes off the wire.
#include <cstddef>
#include <cstdint>

#include "backend/errors.h"
#include "backend/json_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const auto response = corvanta::backend::ApiResponse::parse(body);
        // Whatever came through must be walkable and printable again.
        (void)response.data.dump();
    } catch (const corvanta::backend::DecodingError&) {
    }
    return 0;
}
