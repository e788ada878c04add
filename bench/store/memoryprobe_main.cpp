// qm-bench-memory: opens a dictionary set as the program does, runs keyword lookups and prints
// the peak resident size of the process.
//
//   qm-bench-memory SETFOLDER [LOOKUPS]

#include "lookups.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/scriptedprompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || !QFileInfo::exists(QDir(args[1]).filePath(QStringLiteral("DicSets.ini")))) {
        std::fprintf(stderr, "usage: qm-bench-memory SETFOLDER [LOOKUPS]\n");
        return 2;
    }
    const int lookups = args.size() > 2 ? args[2].toInt() : 100;
    const qint64 atStart = qm::bench::peakResidentKiB();

    qm::desktop::ScriptedPrompter prompter;
    qm::store::DatabaseModule module(qm::app::storeHost(prompter), args[1]);
    module.LoadDictionarySets();
    module.OpenDictionarySet();
    if (module.OpenDictionarySetsIndex() == -1) {
        std::fprintf(stderr, "qm-bench-memory: the set did not open\n");
        return 1;
    }
    QStringList patterns = qm::bench::prefixPatterns();
    patterns.append(qm::bench::leadingWildcardPattern());
    qm::bench::LookupRows listed; // what the result list holds, as the window keeps it
    std::size_t rows = 0;
    try {
        for (int i = 0; i < lookups; ++i) {
            listed = qm::bench::storeLookup(module, patterns.at(i % patterns.size()), 1000);
            rows += listed.size();
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-memory: %s\n", e.what());
        return 1;
    }
    std::printf("memory probe: %d dictionaries open, %d lookups, %zu rows listed\n",
                int(module.DictionaryCount()), lookups, rows);
    std::printf("resident KiB before opening: %lld\n", static_cast<long long>(atStart));
    std::printf("peak resident KiB: %lld\n", static_cast<long long>(qm::bench::peakResidentKiB()));
    return 0;
}
