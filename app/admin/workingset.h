#pragma once

#include "app/store/dictionaryset.h"

namespace qm::app {

// The set editor's working copy of one dictionary set: its name and its files in slot order.
// Nothing outside the editor sees it until the editor writes it back.
class WorkingSet final
{
public:
    explicit WorkingSet(store::DictionarySet set = {});

    const store::DictionarySet &set() const { return m_set; }
    int count() const { return m_set.FileCount; }
    bool isFull() const { return m_set.FileCount >= store::MaxDictionariesPerSet; }
    const QString &fileName(int slot) const { return m_set.FileNames.at(std::size_t(slot)); }

    void setName(const QString &name) { m_set.SetName = name; }
    // Whether the path is registered already; letter case is ignored.
    bool contains(const QString &path) const { return !registeredAs(path).isEmpty(); }
    // The registered file the path matches ignoring letter case, or an empty string.
    QString registeredAs(const QString &path) const;
    // Appends a file; nothing happens when the set is full.
    void append(const QString &path);
    // Removes the file in the slot; the files after it move up one slot.
    void removeAt(int slot);
    // Exchanges the files of two used slots.
    void swap(int first, int second);

private:
    bool isUsed(int slot) const { return slot >= 0 && slot < m_set.FileCount; }

    store::DictionarySet m_set;
};

} // namespace qm::app
