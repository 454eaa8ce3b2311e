#pragma once

// TOvStringArray, the type of the four profile arrays: one string per tag.

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

namespace brindle::profile {

// One of the four profile arrays: thirteen strings indexed by TagIndex.
// The size never changes, and an index outside 0..12 throws instead of
// writing past the end, so nothing can ever be stored beyond the thirteenth
// entry whatever a file holds.
class TOvStringArray
{
public:
    static constexpr int kCount = 13;

    TOvStringArray() = default;
    explicit TOvStringArray(const QString &fill) { m_items.fill(fill); }

    QString &operator[](int index) { return m_items.at(static_cast<std::size_t>(index)); }
    const QString &operator[](int index) const { return m_items.at(static_cast<std::size_t>(index)); }
    static constexpr int size() { return kCount; }

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    QStringList toList() const { return QStringList(m_items.begin(), m_items.end()); }

    bool operator==(const TOvStringArray &) const = default;

private:
    std::array<QString, kCount> m_items;
};

} // namespace brindle::profile
