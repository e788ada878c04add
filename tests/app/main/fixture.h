#pragma once

// A program folder with a dictionary set made through the store, for the window tests.

#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "controls/services.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace qm::test {

struct NewEntry {
    QString heading;
    quint8 viewer = 1;
    QByteArray body;
    QStringList keywords;
};

class ProgramFixture final
{
public:
    ProgramFixture()
    {
        QStandardPaths::setTestModeEnabled(true);
        storedSettings().clear();
        desktop::ProgramFolder::setPath(dir.path());
        corvane::Services::setPrompter(&prompter);
        corvane::Services::setNavigator(&navigator);
    }
    ~ProgramFixture()
    {
        corvane::Services::setPrompter(nullptr);
        corvane::Services::setNavigator(nullptr);
        storedSettings().clear();
    }
    ProgramFixture(const ProgramFixture &) = delete;
    ProgramFixture &operator=(const ProgramFixture &) = delete;

    // The program's own settings store, as a test reads it back.
    static QSettings storedSettings() { return QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere")); }

    QString path(const QString &name) const { return dir.filePath(name); }

    // Creates a dictionary with the entries and returns its path.
    QString dictionary(const QString &file, const QString &name, const QList<NewEntry> &entries)
    {
        const QString p = path(file);
        store::Dictionary::CreateDictionary(p, name, {}, {}, {false, false, false});
        store::Dictionary d(p);
        std::vector<store::Dictionary::NewEntry> batch;
        for (const NewEntry &e : entries) {
            store::Entry entry;
            entry.Viewer = e.viewer;
            entry.Heading = e.heading;
            entry.Document = e.body.isNull() ? text::cp932::encode(e.heading).bytes : e.body;
            entry.RenewalDate = QDateTime(QDate(1998, 12, 17), QTime(10, 0));
            batch.push_back({entry, e.keywords});
        }
        d.addEntries(batch);
        return p;
    }

    // Writes "DicSets.ini" naming one set of these files.
    void writeSet(const QStringList &files)
    {
        store::DatabaseModule m(prompter, dir.path());
        m.sets().add(store::DictionarySet(QStringLiteral("テスト"), files));
        m.sets().choose(0);
        m.SaveDictionarySets();
    }

    QTemporaryDir dir;
    desktop::ScriptedPrompter prompter;
    desktop::RecordingNavigator navigator;
};

} // namespace qm::test
