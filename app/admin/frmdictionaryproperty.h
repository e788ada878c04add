#pragma once

#include "adminparts.h"

#include "app/store/care/compaction.h"
#include "platform/sqlite/error.h"

#include <QDialog>
#include <QThread>

#include <memory>
#include <optional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DictionaryStorage;
struct DictionaryDescription;
struct ServerCompaction;
} // namespace qm::store

namespace qm::app {

// Shows and edits the name, author and comment of one dictionary, honouring their locks, and
// compacts the dictionary file. The dialog holds the dictionary open from SetDicFileName until
// it closes, except while the file is being compacted.
class frmDictionaryProperty final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmDictionaryProperty)

public:
    frmDictionaryProperty(desktop::Prompter &prompter, HelpHandler help, QWidget *parent = nullptr);
    ~frmDictionaryProperty() override;

    // Opens the dictionary file (or the dictionary on a server) and loads the boxes from it.
    // False, after telling the user why, when it does not open as a dictionary.
    bool SetDicFileName(const QString &strFileName);

    bool holdsDictionary() const { return m_dictionary != nullptr; }

    QLineEdit *txtFileName = nullptr;
    QLineEdit *txtDicName = nullptr;
    QLineEdit *txtAuthor = nullptr;
    QPlainTextEdit *txtComment = nullptr;
    QPushButton *cmdCompactDictionary = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    // Every way of closing closes the dictionary.
    void done(int result) override;

private:
    void buildControls(QWidget *client);
    void buildButtons(QWidget *client);
    bool openDictionary(const QString &path);
    void showDescription(const store::DictionaryDescription &description);
    void updateButtons();
    void storeDescription();
    void compactDictionary();
    // The reason the compaction stopped, or nullopt when it succeeded.
    std::optional<sqlite::Error> runCompaction(const QString &path, store::CompactionSizes &sizes);
    void reportCompactionDone(const QString &path, const store::CompactionSizes &sizes);
    void reportCompactionFailure(const QString &path, const QString &reason);
    // A server dictionary is compacted by the server, on a thread of its own; the window only
    // shows a busy cursor meanwhile and tells the outcome when it is over.
    void compactServerDictionary(const QString &location);
    void serverCompactionFinished();

    desktop::Prompter &m_prompter;
    HelpHandler m_help;
    QWidget *m_client = nullptr;
    std::unique_ptr<store::DictionaryStorage> m_dictionary;
    bool m_compacting = false;
    std::unique_ptr<QThread> m_serverCompaction;
    // Written by the compaction's thread, read once it has finished.
    QString m_serverOutcome;
    bool m_serverFailed = false;
    // The password typed for a server dictionary, if one was asked for.
    std::shared_ptr<std::optional<QString>> m_typedPassword = std::make_shared<std::optional<QString>>();
};

} // namespace qm::app
