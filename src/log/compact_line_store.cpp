#include "log/compact_line_store.h"

#include <algorithm>

#include <QStringEncoder>

namespace corvanta::log {

void CompactLineStore::append(QStringView line) {
    // Encoded straight into the block: no temporary per line.
    QStringEncoder encoder(QStringEncoder::Utf8);
    const std::size_t start = bytes_.size();
    bytes_.resize(start + static_cast<std::size_t>(encoder.requiredSpace(line.size())));
    char* const end = encoder.appendToBuffer(bytes_.data() + start, line);
    bytes_.resize(static_cast<std::size_t>(end - bytes_.data()));
    ends_.push_back(bytes_.size());
}

void CompactLineStore::removeFront(qsizetype count) {
    if (count <= 0) {
        return;
    }
    if (count >= size()) {
        clear();
        return;
    }
    const std::size_t cut = ends_[static_cast<std::size_t>(count) - 1];
    // A fresh block of the size that is left, rather than moving the rest to the front: the
    // old block's memory goes back to the system at once.
    std::string rest(bytes_, cut);
    bytes_.swap(rest);
    ends_.erase(ends_.begin(), ends_.begin() + count);
    for (std::uint64_t& end : ends_) {
        end -= cut;
    }
}

void CompactLineStore::clear() {
    std::string().swap(bytes_);
    std::vector<std::uint64_t>().swap(ends_);
}

std::string_view CompactLineStore::utf8At(qsizetype index) const {
    const std::size_t start = startOf(index);
    return std::string_view(bytes_).substr(start, ends_[static_cast<std::size_t>(index)] - start);
}

QString CompactLineStore::at(qsizetype index) const {
    const std::string_view line = utf8At(index);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

QString CompactLineStore::join(qsizetype first, qsizetype last, QChar separator) const {
    const qsizetype from = std::max<qsizetype>(std::min(first, last), 0);
    const qsizetype to = std::min<qsizetype>(std::max(first, last), size() - 1);
    if (from > to) {
        return {};
    }
    const std::size_t start = startOf(from);
    const std::size_t end = ends_[static_cast<std::size_t>(to)];
    QString text;
    text.reserve(static_cast<qsizetype>(end - start) + (to - from));
    for (qsizetype i = from; i <= to; ++i) {
        if (i > from) {
            text.append(separator);
        }
        text.append(at(i));
    }
    return text;
}

QStringList CompactLineStore::toStringList() const {
    QStringList lines;
    lines.reserve(size());
    for (qsizetype i = 0; i < size(); ++i) {
        lines.append(at(i));
    }
    return lines;
}

}  // namespace corvanta::log
