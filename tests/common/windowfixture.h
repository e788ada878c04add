#pragma once

// What the tests of the windows and of the exchange share: the settings store in test mode,
// dictionaries made through the store, and ways to work a modal window once it is up.

#include "app/store/dictionary/dictionary.h"
#include "platform/text/cp932.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

namespace qm::test {

inline QByteArray cp932(const QString &text)
{
    return text::cp932::encode(text).bytes;
}

// The program's settings store in test mode, emptied when a test starts and when it ends.
class TestSettings final
{
public:
    TestSettings()
    {
        QStandardPaths::setTestModeEnabled(true);
        stored().clear();
    }
    ~TestSettings() { stored().clear(); }
    TestSettings(const TestSettings &) = delete;
    TestSettings &operator=(const TestSettings &) = delete;

    // The store as a test reads it back.
    static QSettings stored() { return QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere")); }
};

// Creates a dictionary file at `path` holding the entries (none: an empty dictionary), replacing
// an earlier file; returns the path.
inline QString makeDictionary(const QString &path, const QString &name,
                              const std::vector<store::Dictionary::NewEntry> &entries,
                              const std::array<bool, 3> &locks = {false, false, false})
{
    QFile::remove(path);
    store::Dictionary::CreateDictionary(path, name, {}, {}, locks);
    if (!entries.empty())
        store::Dictionary(path).addEntries(entries);
    return path;
}

// The same from entries as a test describes them: a heading, a type, keywords and a body (null
// for the heading in CP932), and where the description has one, a date (invalid, or none, for
// 1998-12-17 10:00).
template <class Description>
QString makeDictionary(const QString &path, const QString &name, const QList<Description> &entries)
{
    std::vector<store::Dictionary::NewEntry> batch;
    for (const Description &e : entries) {
        store::Entry entry;
        entry.Viewer = e.viewer;
        entry.Heading = e.heading;
        entry.Document = e.body.isNull() ? cp932(e.heading) : e.body;
        entry.RenewalDate = QDateTime(QDate(1998, 12, 17), QTime(10, 0));
        if constexpr (requires { e.renewal; }) {
            if (e.renewal.isValid())
                entry.RenewalDate = e.renewal;
        }
        batch.push_back({entry, e.keywords});
    }
    return makeDictionary(path, name, batch);
}

// Runs `action` once the modal window with this objectName is the active modal widget. Checks
// made in the action that fail close every modal window, so the test never hangs.
inline void whenModal(const QString &objectName, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, objectName, action = std::move(action)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != objectName || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

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

// The shown top-level window with this object name, as T; null when none is shown.
template <typename T>
T *visible(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return qobject_cast<T *>(w);
    return nullptr;
}

} // namespace qm::test
