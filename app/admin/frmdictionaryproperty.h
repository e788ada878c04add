#pragma once

#include "adminparts.h"

#include "app/store/care/compaction.h"
#include "platform/sqlite/error.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class Dictionary;
struct DictionaryDescription;
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

    // Opens the dictionary file and loads the boxes from it. False, after telling the user why,
    // when the file does not open as a dictionary.
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

    desktop::Prompter &m_prompter;
    HelpHandler m_help;
    QWidget *m_client = nullptr;
    std::unique_ptr<store::Dictionary> m_dictionary;
    bool m_compacting = false;
};

} // namespace qm::app
