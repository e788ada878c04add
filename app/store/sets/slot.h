#pragma once

#include <QString>
#include <QStringView>

namespace qm::store {

// The place of a dictionary in the open set (0 to 9). A default one, or one made from a number
// out of range, is invalid and names no dictionary.
struct Slot {
    static constexpr int Count = 10;

    constexpr Slot() = default;
    // Implicit so a plain slot number can be handed on; the range is checked here once.
    constexpr Slot(int number) // NOLINT(google-explicit-constructor)
        : index(isSlotNumber(number) ? qint16(number) : qint16(-1))
    {
    }

    static constexpr bool isSlotNumber(int number) { return number >= 0 && number < Count; }
    constexpr bool isValid() const { return index >= 0; }
    friend constexpr bool operator==(Slot, Slot) = default;

    qint16 index = -1;
};

// The mark of a slot ("①" for slot 0 ... "⑩" for slot 9), empty for an invalid slot.
QString slotMark(Slot slot);

// A dictionary as the windows show it: the slot mark, `separator`, then the name (① 仕事).
// An invalid slot shows the name alone.
QString dictionaryLabel(Slot slot, const QString &name, QStringView separator = u" ");

} // namespace qm::store
