#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
class GenerationView;
}

namespace qm::app {

// The entries of a backup generation, opened only for reading: the headings with their type and
// date (all of them, or those found by a keyword), and the keywords and text of the chosen one. Checked entries (or, with none checked, the
// selected ones) are taken out into a dictionary of the open set.
class frmBackupEntries final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmBackupEntries)

public:
    // The most entries listed; a larger generation lists its first ones and says so.
    static constexpr int MaxListed = 20000;
    // The most entries a keyword lists.
    static constexpr int MaxFound = 1000;

    frmBackupEntries(store::GenerationView &view, const QString &caption, store::DatabaseModule &database,
                     desktop::Prompter &prompter, QWidget *parent = nullptr);

    QLabel *lblGeneration = nullptr;
    QLineEdit *txtFind = nullptr;
    QPushButton *cmdFind = nullptr;
    QLabel *lblCount = nullptr;
    QTreeWidget *lstEntries = nullptr;
    QListWidget *lstKeywords = nullptr;
    QPlainTextEdit *txtText = nullptr;
    QComboBox *cboDictionary = nullptr;
    QPushButton *cmdTakeOut = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    void buildControls();
    // Lists every entry for an empty text, else the entries with a keyword starting so.
    void fillEntries(const QString &text = {});
    void showChosen();
    void takeOut();
    // The entries checked, or the selected ones when none is checked.
    QList<qint32> chosenNumbers() const;

    store::GenerationView &m_view;
    store::DatabaseModule &m_database;
    desktop::Prompter &m_prompter;
};

} // namespace qm::app
