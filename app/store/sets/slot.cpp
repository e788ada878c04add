#include "app/store/sets/slot.h"

#include <iterator>

namespace qm::store {

QString slotMark(Slot slot)
{
    static constexpr char16_t Marks[] = u"①②③④⑤⑥⑦⑧⑨⑩";
    static_assert(std::size(Marks) == Slot::Count + 1);
    return slot.isValid() ? QString(QChar(Marks[slot.index])) : QString();
}

QString dictionaryLabel(Slot slot, const QString &name, QStringView separator)
{
    if (!slot.isValid())
        return name;
    return slotMark(slot) + separator + name;
}

} // namespace qm::store
