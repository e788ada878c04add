// Compacts one dictionary, printing "done" when it has finished.

#include "app/store/care/compaction.h"

#include "platform/sqlite/error.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        qm::store::CompactDictionary(QCoreApplication::arguments().value(1));
    } catch (const qm::sqlite::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::puts("done");
    return 0;
}
