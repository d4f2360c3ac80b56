// Every record the backend sends, decoded from the data of a well-formed envelope. The first
// byte picks the record type; the rest is the data as the backend would write it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "backend/auth_records.h"
#include "backend/content_records.h"
#include "backend/device_records.h"
#include "backend/errors.h"
#include "backend/json_decoding.h"

namespace {

using namespace corvanta::backend;

template <class T>
void decodeAs(const nlohmann::json& data) {
    (void)JsonDecode<T>::decode(data, QStringLiteral("data"));
}

void decode(std::uint8_t selector, const nlohmann::json& data) {
    switch (selector % 16) {
        case 0:
            return decodeAs<DeviceInitResponse>(data);
        case 1:
            return decodeAs<DeviceTaskResponse>(data);
        case 2:
            return decodeAs<IndexResponse>(data);
        case 3:
            return decodeAs<KeyLoginResponse>(data);
        case 4:
            return decodeAs<KeyLoginUserInfo>(data);
        case 5:
            return decodeAs<ModelRanking>(data);
        case 6:
            return decodeAs<WireNotice>(data);
        case 7:
            return decodeAs<NoticeListResponse>(data);
        case 8:
            return decodeAs<PageDetailResponse>(data);
        case 9:
            return decodeAs<WireSignInRecord>(data);
        case 10:
            return decodeAs<TokenCheckResponse>(data);
        case 11:
            return decodeAs<TokenRefreshResponse>(data);
        case 12:
            return decodeAs<TokenRefreshPayload>(data);
        case 13:
            return decodeAs<VersionUpdateResponse>(data);
        case 14:
            return decodeAs<std::vector<WireSignInRecord>>(data);
        default:
            return decodeAs<std::vector<ModelRanking>>(data);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    QByteArray body(R"({"code":1,"msg":"","data":)");
    body.append(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    body.append('}');
    try {
        const auto response = ApiResponse::parse(body);
        decode(data[0], response.data);
    } catch (const DecodingError&) {
    }
    return 0;
}
