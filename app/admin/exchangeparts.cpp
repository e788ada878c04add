#include "exchangeparts.h"

#include "app/exchange/jsonlines.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/dictionaryset.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStringList>

#include <memory>

namespace qm::app {

namespace {

// Circled numbers mark the slots, as in the result list.
QString slotMark(int slot)
{
    return QString(QChar(0x2460 + slot));
}

class ProgressState final
{
public:
    ProgressState(QString label, bool countsEntries) : m_label(std::move(label)), m_counts(countsEntries) {}
    ProgressState(const ProgressState &) = delete;
    ProgressState &operator=(const ProgressState &) = delete;
    ~ProgressState() { delete m_dialog; }

    bool update(qint64 done, qint64 total)
    {
        if (!m_dialog)
            makeDialog();
        m_dialog->setValue(total > 0 ? int(qBound<qint64>(qint64(0), done * 1000 / total, qint64(1000))) : 0);
        if (m_counts)
            m_dialog->setLabelText(QStringLiteral("%1\n%2 / %3 件").arg(m_label).arg(done).arg(total));
        QApplication::processEvents();
        return !m_dialog->wasCanceled();
    }

private:
    void makeDialog()
    {
        m_dialog = new QProgressDialog(m_label, QStringLiteral("ｷｬﾝｾﾙ"), 0, 1000, QApplication::activeWindow());
        m_dialog->setObjectName(QStringLiteral("dlgProgress"));
        m_dialog->setWindowTitle(QStringLiteral("Quillmere"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(500);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }

    QString m_label;
    bool m_counts;
    QProgressDialog *m_dialog = nullptr; // owned here: its parent may be any window
};

} // namespace

store::Progress progressWindow(const QString &label, bool countsEntries)
{
    auto state = std::make_shared<ProgressState>(label, countsEntries);
    return [state](qint64 done, qint64 total) { return state->update(done, total); };
}

void fillDictionaries(QComboBox *combo, store::DatabaseModule &database, bool writableOnly)
{
    combo->clear();
    for (int slot = 0; slot < store::MaxDictionariesPerSet; ++slot) {
        store::DictionaryStorage *dictionary = database.storage(slot);
        if (!dictionary || (writableOnly && dictionary->isReadOnly()))
            continue;
        QString name;
        try {
            name = exchange::jsonl::describe(*dictionary).name;
        } catch (const std::exception &) {
            name = QFileInfo(dictionary->location()).completeBaseName();
        }
        combo->addItem(slotMark(slot) + name, slot);
    }
}

QString withSuffix(const QString &path, const QStringList &suffixes)
{
    const QString suffix = QFileInfo(path).suffix();
    for (const QString &accepted : suffixes)
        if (suffix.compare(accepted, Qt::CaseInsensitive) == 0)
            return path;
    return path + QLatin1Char('.') + suffixes.first();
}

} // namespace qm::app
