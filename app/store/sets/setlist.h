#pragma once

#include "app/store/sets/dictionaryset.h"

#include <array>

namespace qm::store {

// The dictionary sets in the order the user keeps them, and which of them is current. At most
// twenty sets; the current index always names one of them or is -1.
class SetList final
{
public:
    using Sets = std::array<DictionarySet, MaxDictionarySets>;

    int count() const { return m_count; }
    bool isFull() const { return m_count >= MaxDictionarySets; }
    // The set at a listed index; an empty set for any other index.
    const DictionarySet &at(int index) const;
    // The whole table; entries past count() are empty.
    const Sets &all() const { return m_sets; }
    // The current set's index, or -1 when none is current.
    int current() const { return m_current; }
    // The current set, or nullptr.
    const DictionarySet *currentSet() const;

    // Appends a set and returns its index; -1 (and nothing changes) when the list is full.
    int add(DictionarySet set);
    // Removes a set; those after it move up one place. The current set stays current; when it
    // is the one removed, none is.
    bool remove(int index);
    bool rename(int index, const QString &name);
    bool replace(int index, DictionarySet set);
    // Moves a set to another place; the current set stays current wherever it goes.
    bool move(int from, int to);
    // Makes a listed set current, or none with -1; any other index is refused.
    bool choose(int index);
    // Appends a file to the current set; false when there is none or DictionarySet::append
    // refuses the file.
    bool addToCurrent(const QString &path);
    void clear() { *this = SetList(); }

    // The table for the set file.
    DictionarySetTable table() const;
    // Takes the sets of a table read from the set file. An index that names no listed set
    // makes the first set current (the file keeps -1 after a set failed to open).
    void assign(const DictionarySetTable &table);

private:
    bool isListed(int index) const { return index >= 0 && index < m_count; }

    Sets m_sets;
    int m_count = 0;
    int m_current = -1;
};

} // namespace qm::store
