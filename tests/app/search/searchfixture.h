#pragma once

// A dictionary set made through the store and opened, with the settings store in test mode, for
// the search windows' tests.

#include "tests/common/windowfixture.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/scriptedprompter.h"

#include <QTemporaryDir>

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
    SearchFixture() = default;
    ~SearchFixture() { database.reset(); }
    SearchFixture(const SearchFixture &) = delete;
    SearchFixture &operator=(const SearchFixture &) = delete;

    static QSettings storedSettings() { return TestSettings::stored(); }

    // Creates a dictionary with the entries; returns its path.
    QString dictionary(const QString &file, const QString &name, const QList<NewEntry> &entries)
    {
        return makeDictionary(dir.filePath(file), name, entries);
    }

    // Opens one set of these files.
    void open(const QStringList &files)
    {
        database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(prompter), dir.path());
        database->sets().add(store::DictionarySet(QStringLiteral("テスト"), files));
        database->sets().choose(0);
        database->OpenDictionarySet();
    }

private:
    TestSettings m_settings;

public:
    QTemporaryDir dir;
    desktop::ScriptedPrompter prompter;
    store::Settings settings;
    std::unique_ptr<store::DatabaseModule> database;
};

} // namespace qm::test
