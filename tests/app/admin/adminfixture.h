#pragma once

// A folder of dictionaries made through the store, a scripted prompter and file chooser, and a
// way to work a modal dialog, for the tests of the administration dialogs.

#include "app/store/dictionary/dictionary.h"
#include "platform/desktop/filechooser.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"

#include <QApplication>
#include <QQueue>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace qm::test {

// Answers the file dialog from a queue; an empty queue is a cancel.
class QueuedFileChooser final : public desktop::FileChooser
{
public:
    std::optional<QString> openFile(const Request &request) override
    {
        titles.append(request.title);
        filters.append(request.filter);
        return answers.isEmpty() ? std::nullopt : std::optional<QString>(answers.dequeue());
    }
    std::optional<QString> saveFile(const Request &request) override { return openFile(request); }

    QQueue<QString> answers;
    QStringList titles;
    QStringList filters;
};

// Works the modal dialog that the next exec() shows. A dialog that handles events while it is
// being made (a busy cursor, a progress window) is waited for. The dialog is closed afterwards
// if the work left it open, so that a failing check cannot hang the test.
template <class Dialog>
void onModal(std::function<void(Dialog *)> work, int tries = 50)
{
    QTimer::singleShot(0, [work, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<Dialog *>(modal);
        if (!dialog && tries > 0) {
            onModal<Dialog>(work, tries - 1);
            return;
        }
        if (dialog)
            work(dialog);
        else
            qWarning("expected modal dialog %s", Dialog::staticMetaObject.className());
        if (modal && modal == QApplication::activeModalWidget() && modal->isVisible())
            modal->close();
    });
}

// Types text the way a user does, one key event per character (keyClicks cannot send kana).
inline void typeInto(QWidget *widget, const QString &text)
{
    widget->setFocus();
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::KeyAction::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

struct Dictionaries {
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    // A dictionary with `entries` entries of one keyword each, replacing an earlier file.
    QString make(const QString &file, const QString &name, int entries = 0,
                 const std::array<bool, 3> &locks = {false, false, false})
    {
        const QString p = path(file);
        QFile::remove(p);
        store::Dictionary::CreateDictionary(p, name, {}, {}, locks);
        if (entries == 0)
            return p;
        store::Dictionary d(p);
        std::vector<store::Dictionary::NewEntry> batch;
        for (int i = 0; i < entries; ++i) {
            store::Entry e;
            e.Viewer = 1;
            e.Heading = QStringLiteral("見出し%1").arg(i);
            e.Document = text::cp932::encode(e.Heading.repeated(20)).bytes;
            e.RenewalDate = QDateTime(QDate(2001, 2, 3), QTime(4, 5));
            batch.push_back({e, {QStringLiteral("キー%1").arg(i)}});
        }
        d.addEntries(batch);
        return p;
    }
};

} // namespace qm::test
