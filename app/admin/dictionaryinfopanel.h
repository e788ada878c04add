#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm::sqlite {
class Error;
}
namespace qm::store {
class DictionaryStorage;
struct DictionarySummary;
}

namespace qm::app {

// The set editor's frame "辞書の情報": the name, the stored keyword and entry counts and the
// size of one dictionary file. A file that cannot be read as a dictionary is shown by its path
// and the reason instead.
class DictionaryInfoPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DictionaryInfoPanel)

public:
    explicit DictionaryInfoPanel(QWidget *parent);

    void showDictionary(const QString &path);
    // A dictionary on a server: its name and counts; it has no file size.
    void showStorage(store::DictionaryStorage &storage);
    // A server dictionary that did not open, by its location as it may be shown.
    void showServerFailure(const QString &shownLocation, const sqlite::Error &failure);

    // A file size in kilobytes as the panel writes it: 1536 bytes is "1.5KB".
    static QString kilobytes(qint64 bytes);

    QLabel *lblDicName = nullptr;
    QLineEdit *txtDicName = nullptr;
    QLabel *lblKeyWord = nullptr;
    QLabel *lblDocument = nullptr;
    QLabel *lblSize = nullptr;
    QLabel *lblInfoMessage = nullptr;
    QPushButton *cmdProperty = nullptr;

private:
    void buildCaptions();
    void showSummary(const store::DictionarySummary &summary);
    void showFailure(const QString &path, const QString &reason);
    // The text as much of it as the message's lines show.
    QString fitted(const QString &text) const;
};

} // namespace qm::app
