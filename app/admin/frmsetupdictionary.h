#pragma once

#include <QDialog>
#include <QFrame>

class QPushButton;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// A framed area that takes files dropped from the file manager and shows its prompt centred.
class FileDropZone final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileDropZone)

public:
    FileDropZone(const QString &prompt, QWidget *parent = nullptr);
    ~FileDropZone() override;

    const QString &prompt() const { return m_prompt; }

signals:
    // The local files of a drop, in the order of the dropped list.
    void filesDropped(const QStringList &paths);

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QString m_prompt;
};

// Registers dictionaries that someone else made: each file dropped on the dialog is checked,
// the user is asked, and the file is copied into the program folder and added to the current
// set. The caller closes the set before showing the dialog and opens it again afterwards, so
// files of the set can be replaced and the new ones open with the others.
class frmSetupDictionary final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmSetupDictionary)

public:
    frmSetupDictionary(store::DatabaseModule &database, desktop::Prompter &prompter, QWidget *parent = nullptr);
    ~frmSetupDictionary() override;

    // Works through the files of a drop, first to last, one question each: a No ends the drop,
    // leaving that file and every later one alone. The set file is written when a dictionary
    // was added.
    void DropFiles(const QStringList &paths);

    FileDropZone *Picture1 = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    // Asks, copies and adds one dictionary; false when the user answered No, which ends the drop.
    bool registerFile(const QString &path, const QString &dictionaryName);
    bool isInCurrentSet(const QString &path) const;
    bool storable(const QString &target);

    store::DatabaseModule &m_database;
    desktop::Prompter &m_prompter;
};

} // namespace qm::app
