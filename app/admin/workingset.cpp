#include "workingset.h"

#include <algorithm>

namespace qm::app {

WorkingSet::WorkingSet(store::DictionarySet set)
    : m_set(std::move(set))
{
}

QString WorkingSet::registeredAs(const QString &path) const
{
    const auto used = m_set.FileNames.cbegin() + m_set.FileCount;
    const auto found = std::find_if(m_set.FileNames.cbegin(), used, [&path](const QString &file) {
        return QString::compare(file, path, Qt::CaseInsensitive) == 0;
    });
    return found == used ? QString() : *found;
}

void WorkingSet::append(const QString &path)
{
    if (isFull())
        return;
    m_set.FileNames[std::size_t(m_set.FileCount)] = path;
    ++m_set.FileCount;
}

void WorkingSet::removeAt(int slot)
{
    if (!isUsed(slot))
        return;
    auto &files = m_set.FileNames;
    std::move(files.begin() + slot + 1, files.end(), files.begin() + slot);
    files.back().clear();
    --m_set.FileCount;
}

void WorkingSet::swap(int first, int second)
{
    if (isUsed(first) && isUsed(second))
        std::swap(m_set.FileNames[std::size_t(first)], m_set.FileNames[std::size_t(second)]);
}

} // namespace qm::app
