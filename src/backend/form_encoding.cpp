#include "backend/form_encoding.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace corvanta::backend {
namespace {

const std::array<bool, 256>& formUnreservedBytes() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (const char c : std::string_view(
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._*")) {
            t[static_cast<unsigned char>(c)] = true;
        }
        return t;
    }();
    return table;
}

}  // namespace

QString percentEncodeFormComponent(const QString& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    const auto& unreserved = formUnreservedBytes();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            out += '+';
        } else if (unreserved[byte]) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return QString::fromLatin1(out);
}

QString formEncode(const FormParameters& parameters) {
    std::vector<std::pair<QByteArray, QString>> pairs;
    pairs.reserve(std::size_t(parameters.size()));
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
        pairs.emplace_back(it.key().toUtf8(), it.value());
    }
    std::sort(pairs.begin(), pairs.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList encoded;
    encoded.reserve(qsizetype(pairs.size()));
    for (const auto& [key, value] : pairs) {
        encoded << percentEncodeFormComponent(QString::fromUtf8(key)) + QLatin1Char('=') +
                       percentEncodeFormComponent(value);
    }
    return encoded.join(QLatin1Char('&'));
}

}  // namespace corvanta::backend
