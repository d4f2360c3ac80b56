#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>
#include <QStringView>

namespace corvanta::log {

// Lines of text, oldest first, kept as UTF-8 in one block with the end of each line beside it:
// a line costs its UTF-8 bytes and eight more, with no object of its own. A line is turned back
// into a QString only when it is read. Text with unpaired surrogates (which no run-log line
// holds) reads back with U+FFFD in their place; any other text reads back exactly.
class CompactLineStore {
public:
    qsizetype size() const { return static_cast<qsizetype>(ends_.size()); }
    bool isEmpty() const { return ends_.empty(); }

    void append(QStringView line);
    // Drops the oldest `count` lines (all of them when there are fewer) and gives back the
    // memory they held.
    void removeFront(qsizetype count);
    void clear();

    // `index` must be in [0, size()).
    QString at(qsizetype index) const;
    std::string_view utf8At(qsizetype index) const;
    // Lines [first, last], clamped to the lines there are, joined by `separator`; empty when no
    // line is in the range.
    QString join(qsizetype first, qsizetype last, QChar separator) const;
    QStringList toStringList() const;

    // The bytes the lines take, not counting spare capacity.
    std::size_t usedBytes() const {
        return bytes_.size() + ends_.size() * sizeof(decltype(ends_)::value_type);
    }

private:
    std::size_t startOf(qsizetype index) const {
        return index == 0 ? 0 : ends_[static_cast<std::size_t>(index) - 1];
    }

    std::string bytes_;
    // Where each line ends in bytes_; the next one starts there.
    std::vector<std::uint64_t> ends_;
};

}  // namespace corvanta::log
