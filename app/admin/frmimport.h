#pragma once

#include "exchangeparts.h"

#include "app/exchange/importer.h"

#include <QDialog>
#include <QFile>

class QComboBox;
class QLabel;
class QPushButton;

namespace qm::store {
class DictionaryStorage;
}

namespace qm::app {

class WordListPanel;

// Adds the entries of a file to a dictionary of the open set or to a new dictionary file: a
// file of the dictionary's exchange format (.jsonl), or a word list (.csv, .tsv, .txt) whose
// options and preview the dialog shows. All or nothing: a bad line or a cancel leaves the
// dictionary as it was (and a new file is removed again).
class frmImport final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmImport)

public:
    // `path` is the file to read; its suffix tells a word list from the exchange format.
    frmImport(store::DatabaseModule &database, QString path, ExchangeServices services, QWidget *parent = nullptr);

    // True for the suffixes read as word lists.
    static bool isWordList(const QString &path);

    QLabel *lblFile = nullptr;
    QComboBox *cboTarget = nullptr;
    QLabel *lblNewFileNote = nullptr;
    // What a plain-text body that CP932 cannot hold is stored as: rich text or HTML.
    QComboBox *cboUnencodable = nullptr;
    WordListPanel *wordList = nullptr; // nullptr for the exchange format
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void buildControls();
    void importChosen();
    // The new dictionary file the user names, made; an empty string when none was made.
    QString makeNewDictionary();
    exchange::TextFallback textFallback() const;
    exchange::ImportTally importInto(store::DictionaryStorage &dictionary, const store::Progress &progress);
    // Runs the import into the dictionary; false after telling the user what went wrong.
    bool run(store::DictionaryStorage &dictionary, exchange::ImportTally &tally);
    void reportFailure(const QString &reason);

    store::DatabaseModule &m_database;
    QString m_path;
    ExchangeServices m_services;
    QFile m_file;
};

} // namespace qm::app
