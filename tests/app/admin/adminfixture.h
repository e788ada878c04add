#pragma once

// A folder of dictionaries made through the store, a scripted prompter and file chooser, and a
// way to work a modal dialog, for the tests of the administration dialogs.

#include "tests/common/windowfixture.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/scriptedprompter.h"

#include <QQueue>
#include <QTemporaryDir>

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

struct Dictionaries {
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    // A dictionary with `entries` entries of one keyword each, replacing an earlier file.
    QString make(const QString &file, const QString &name, int entries = 0,
                 const std::array<bool, 3> &locks = {false, false, false})
    {
        std::vector<store::Dictionary::NewEntry> batch;
        for (int i = 0; i < entries; ++i) {
            store::Entry e;
            e.Viewer = 1;
            e.Heading = QStringLiteral("見出し%1").arg(i);
            e.Document = cp932(e.Heading.repeated(20));
            e.RenewalDate = QDateTime(QDate(2001, 2, 3), QTime(4, 5));
            batch.push_back({e, {QStringLiteral("キー%1").arg(i)}});
        }
        return makeDictionary(path(file), name, batch, locks);
    }
};

} // namespace qm::test
