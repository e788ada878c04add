#include "app/store/sets/setlist.h"

#include <algorithm>
#include <utility>

namespace qm::store {

const DictionarySet &SetList::at(int index) const
{
    static const DictionarySet none;
    return isListed(index) ? m_sets[std::size_t(index)] : none;
}

const DictionarySet *SetList::currentSet() const
{
    return isListed(m_current) ? &m_sets[std::size_t(m_current)] : nullptr;
}

int SetList::add(DictionarySet set)
{
    if (isFull())
        return -1;
    m_sets[std::size_t(m_count)] = std::move(set);
    return m_count++;
}

bool SetList::remove(int index)
{
    if (!isListed(index))
        return false;
    std::move(m_sets.begin() + index + 1, m_sets.end(), m_sets.begin() + index);
    m_sets.back() = DictionarySet();
    --m_count;
    if (m_current == index)
        m_current = -1;
    else if (m_current > index)
        --m_current;
    return true;
}

bool SetList::rename(int index, const QString &name)
{
    if (!isListed(index))
        return false;
    m_sets[std::size_t(index)].setName(name);
    return true;
}

bool SetList::replace(int index, DictionarySet set)
{
    if (!isListed(index))
        return false;
    m_sets[std::size_t(index)] = std::move(set);
    return true;
}

bool SetList::move(int from, int to)
{
    if (!isListed(from) || !isListed(to))
        return false;
    const auto first = m_sets.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    if (m_current == from)
        m_current = to;
    else if (from < to && m_current > from && m_current <= to)
        --m_current;
    else if (to < from && m_current >= to && m_current < from)
        ++m_current;
    return true;
}

bool SetList::choose(int index)
{
    if (index != -1 && !isListed(index))
        return false;
    m_current = index;
    return true;
}

bool SetList::addToCurrent(const QString &path)
{
    return isListed(m_current) && m_sets[std::size_t(m_current)].append(path);
}

DictionarySetTable SetList::table() const
{
    DictionarySetTable t;
    t.DictionarySetList = m_sets;
    t.DictionarySetCount = qint16(m_count);
    t.OpenDictionarySetsIndex = qint16(m_current);
    return t;
}

void SetList::assign(const DictionarySetTable &table)
{
    clear();
    for (int i = 0; i < qBound(0, int(table.DictionarySetCount), MaxDictionarySets); ++i)
        add(table.DictionarySetList[std::size_t(i)]);
    m_current = isListed(table.OpenDictionarySetsIndex) ? table.OpenDictionarySetsIndex : (m_count > 0 ? 0 : -1);
}

} // namespace qm::store
