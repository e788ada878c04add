#pragma once

#include <QString>

class QComboBox;
class QListWidget;

namespace qm::app {

// The label of a viewer type in the program's lists ("ﾃｷｽﾄ" ... "OLE"); empty for other codes.
QString ViewerListLabel(int viewerCode);

// Clears the list and adds the five viewer types in code order, each with its code as the
// item's data (Qt::UserRole).
void FillViewerTypeList(QComboBox &list);
void FillViewerTypeList(QListWidget &list);

// Selects the first item whose data is the value; with no such item the selection stays.
void SelectItemByData(QComboBox &list, int value);
void SelectItemByData(QListWidget &list, int value);

// True when an item's text equals the text, ignoring letter case only (not width or kana).
bool ListContains(const QComboBox &list, const QString &text);
bool ListContains(const QListWidget &list, const QString &text);

} // namespace qm::app
