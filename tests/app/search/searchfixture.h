#pragma once

// A dictionary set made through the store and opened, with the settings store in test mode, for
// the search windows' tests; and a way to act on a modal window once it is up.

#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace qm::test {

struct NewEntry {
    QString heading;
    quint8 viewer = 1;
    QStringList keywords;
    QByteArray body;     // null: the heading in CP932
    QDateTime renewal;   // invalid: 1998-12-17 10:00
};

class SearchFixture final
{
public:
    SearchFixture()
    {
        QStandardPaths::setTestModeEnabled(true);
        storedSettings().clear();
    }
    ~SearchFixture()
    {
        database.reset();
        storedSettings().clear();
    }
    SearchFixture(const SearchFixture &) = delete;
    SearchFixture &operator=(const SearchFixture &) = delete;

    static QSettings storedSettings() { return QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere")); }

    // Creates a dictionary with the entries; returns its path.
    QString dictionary(const QString &file, const QString &name, const QList<NewEntry> &entries)
    {
        const QString p = dir.filePath(file);
        store::Dictionary::CreateDictionary(p, name, {}, {}, {false, false, false});
        store::Dictionary d(p);
        std::vector<store::Dictionary::NewEntry> batch;
        for (const NewEntry &e : entries) {
            store::Entry entry;
            entry.Viewer = e.viewer;
            entry.Heading = e.heading;
            entry.Document = e.body.isNull() ? text::cp932::encode(e.heading).bytes : e.body;
            entry.RenewalDate = e.renewal.isValid() ? e.renewal : QDateTime(QDate(1998, 12, 17), QTime(10, 0));
            batch.push_back({entry, e.keywords});
        }
        d.addEntries(batch);
        return p;
    }

    // Opens one set of these files.
    void open(const QStringList &files)
    {
        database = std::make_unique<store::DatabaseModule>(prompter, dir.path());
        database->sets().add(store::DictionarySet(QStringLiteral("テスト"), files));
        database->sets().choose(0);
        database->OpenDictionarySet();
    }

    QTemporaryDir dir;
    desktop::ScriptedPrompter prompter;
    store::Settings settings;
    std::unique_ptr<store::DatabaseModule> database;
};

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

} // namespace qm::test
