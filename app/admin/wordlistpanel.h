#pragma once

#include "app/exchange/wordlist.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QIODevice;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace qm::app {

// The options of a word-list import (encoding, separator, header row, what each column holds,
// keyword separator, what becomes of a heading already stored) and a preview of the first rows
// exactly as they would be stored, refreshed whenever an option changes.
class WordListPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WordListPanel)

public:
    // How many rows the preview shows.
    static constexpr int PreviewRows = 20;

    // `file` is open for reading and outlives the panel; `suffix` chooses the first separator.
    WordListPanel(QIODevice &file, const QString &suffix, QWidget *parent = nullptr);

    exchange::wordlist::Options options() const;
    // The reason the preview could not be made (a row that cannot be stored), or empty.
    QString previewProblem() const;

    QComboBox *cboEncoding = nullptr;
    QComboBox *cboSeparator = nullptr;
    QCheckBox *chkHeader = nullptr;
    QList<QComboBox *> cboColumns;
    QLineEdit *txtKeywordSeparator = nullptr;
    QComboBox *cboDuplicates = nullptr;
    QTableWidget *grdPreview = nullptr;
    QLabel *lblPreviewProblem = nullptr;

private:
    void buildControls(const QString &suffix);
    void rebuildColumns();
    void refreshPreview();
    void showRows(const std::vector<exchange::wordlist::Row> &rows);

    QIODevice &m_file;
    QGridLayout *m_columnGrid = nullptr;
    QWidget *m_columnBox = nullptr;
};

} // namespace qm::app
