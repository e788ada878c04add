#include "exchangewindows.h"

#include "mdimain.h"

#include "app/admin/frmexport.h"
#include "app/admin/frmimport.h"
#include "app/search/frmsearchindexlist.h"
#include "platform/desktop/filechooser.h"

#include <QComboBox>

namespace qm::app {

namespace {

QList<exchange::EntryRef> resultRows(mdiMain &window)
{
    QList<exchange::EntryRef> rows;
    if (frmSearchIndexList *list = window.searchIndexList())
        for (const auto &[slot, number] : list->rowEntries())
            rows.append({slot, number});
    return rows;
}

void backToKeywordBox(mdiMain &window)
{
    window.activateWindow();
    window.cboKeyWord->setFocus();
}

} // namespace

void installExchangeWindows(mdiMain &window, store::DatabaseModule &database, desktop::Prompter &prompter,
                            desktop::FileChooser &files)
{
    const ExchangeServices services{prompter, files, [&window](const QString &topic) { window.ShowHelp(topic); }, {}};
    window.windows.exportEntries = [&window, &database, services] {
        frmExport dialog(database, resultRows(window), services, &window);
        dialog.exec();
        backToKeywordBox(window);
    };
    window.windows.importEntries = [&window, &database, &files, services] {
        const std::optional<QString> path = files.openFile(
            {QStringLiteral("ｲﾝﾎﾟｰﾄ"),
             QStringLiteral("取り込めるファイル (*.jsonl *.csv *.tsv *.txt);;辞書の交換形式 (*.jsonl);;"
                            "単語一覧 (*.csv *.tsv *.txt)"),
             {}});
        if (!path || path->isEmpty())
            return;
        frmImport dialog(database, *path, services, &window);
        dialog.exec();
        backToKeywordBox(window);
    };
}

} // namespace qm::app
