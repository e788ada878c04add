#pragma once

// Looks at the modal result list whenever a lookup shows it, from a timer (the list runs its own
// event loop), and closes it.

#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace qm::test {

struct ResultListWatch {
    explicit ResultListWatch(app::mdiMain &window)
    {
        QObject::connect(&poll, &QTimer::timeout, &poll, [this, &window] {
            auto *list = qobject_cast<app::frmSearchIndexList *>(QApplication::activeModalWidget());
            if (!list)
                return;
            poll.stop();
            keywordBox = window.cboKeyWord->currentText();
            pattern = list->txtSearchIndex->text();
            rows = list->ListIndex->topLevelItemCount();
            list->reject();
        });
        poll.start(20);
    }

    QTimer poll;
    QString keywordBox; // the keyword box while the list was shown
    QString pattern;
    int rows = -1;
};

} // namespace qm::test
