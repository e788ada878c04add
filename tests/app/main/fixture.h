#pragma once

// A program folder with a dictionary set made through the store, for the window tests.

#include "tests/common/windowfixture.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "controls/services.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

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
        desktop::ProgramFolder::setPath(dir.path());
        corvane::Services::setPrompter(&prompter);
        corvane::Services::setNavigator(&navigator);
    }
    ~ProgramFixture()
    {
        corvane::Services::setPrompter(nullptr);
        corvane::Services::setNavigator(nullptr);
    }
    ProgramFixture(const ProgramFixture &) = delete;
    ProgramFixture &operator=(const ProgramFixture &) = delete;

    // The program's own settings store, as a test reads it back.
    static QSettings storedSettings() { return TestSettings::stored(); }

    QString path(const QString &name) const { return dir.filePath(name); }

    // Creates a dictionary with the entries and returns its path.
    QString dictionary(const QString &file, const QString &name, const QList<NewEntry> &entries)
    {
        return makeDictionary(path(file), name, entries);
    }

    // Writes "DicSets.ini" naming one set of these files.
    void writeSet(const QStringList &files)
    {
        store::DatabaseModule m(qm::app::storeHost(prompter), dir.path());
        m.sets().add(store::DictionarySet(QStringLiteral("テスト"), files));
        m.sets().choose(0);
        m.SaveDictionarySets();
    }

private:
    TestSettings m_settings;

public:
    QTemporaryDir dir;
    desktop::ScriptedPrompter prompter;
    desktop::RecordingNavigator navigator;
};

} // namespace qm::test
