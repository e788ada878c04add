// The backup window and the properties window with a dictionary on a private server cluster:
// its generations are listed under its name, made, and restored into the server or into a new
// file; the properties window compacts it on the server.

#include "tests/app/main/fixture.h"
#include "tests/common/pgcluster.h"

#include "app/admin/frmbackups.h"
#include "app/admin/frmdictionaryproperty.h"
#include "app/exchange/exporter.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/settings.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

using namespace qm;
using Answer = desktop::Prompter::Answer;

class tst_serverbackupwindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aServerGenerationIsMadeAndRestoredBothWays();
    void thePropertiesWindowCompactsOnTheServer();

private:
    static QByteArray exported(store::DictionaryStorage &d)
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        exchange::exportDictionary(d, out);
        return out.data();
    }
    QString lastMessage() const { return m_fx->prompter.texts().value(m_fx->prompter.texts().size() - 1); }

    std::unique_ptr<test::PgCluster> m_cluster;
    std::unique_ptr<test::ProgramFixture> m_fx;
    QString m_location;
};

void tst_serverbackupwindow::initTestCase()
{
    try {
        m_cluster = std::make_unique<test::PgCluster>();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    m_fx = std::make_unique<test::ProgramFixture>();
    m_location = m_cluster->uri(QStringLiteral("窓の辞書"));
    store::ServerOptions create;
    create.createIfMissing = true;
    const auto d = store::openServerDictionary(m_location, create);
    for (int i = 1; i <= 3; ++i)
        d->addEntry(store::Entry{0, 1, QStringLiteral("見出し%1").arg(i), "body", {}}, {QStringLiteral("語%1").arg(i)});
    m_fx->writeSet({m_location});
}

void tst_serverbackupwindow::aServerGenerationIsMadeAndRestoredBothWays()
{
    store::Settings settings;
    settings.setValue(store::keys::Backup::Folder, m_fx->path(QStringLiteral("backups")));
    store::DatabaseModule db(app::storeHost(m_fx->prompter), m_fx->dir.path());
    db.LoadDictionarySets();
    db.OpenDictionarySet();
    const auto server = store::openServerDictionary(m_location, {});
    const QByteArray original = exported(*server);

    app::frmBackups w(db, settings, m_fx->prompter);
    w.show();
    QCOMPARE(w.lstFiles->count(), 2);
    QCOMPARE(w.lstFiles->currentRow(), 1);
    QVERIFY2(w.lstFiles->item(1)->text().startsWith(QStringLiteral("「窓の辞書」(サーバー /tmp/")), qPrintable(w.lstFiles->item(1)->text()));
    QVERIFY(w.lstFiles->item(1)->text().endsWith(QStringLiteral(" - テスト")));
    QVERIFY(w.lblCurrent->text().startsWith(QStringLiteral("サーバー /tmp/")));
    QVERIFY(w.lblCurrent->text().endsWith(QStringLiteral("の辞書「窓の辞書」")));
    QVERIFY(w.lblNoBackup->isVisibleTo(&w));
    w.cmdBackupNow->click();
    QTRY_VERIFY(w.cmdBackupNow->isEnabled());
    QCOMPARE(w.lstGenerations->topLevelItemCount(), 1);
    QCOMPARE(w.lstGenerations->topLevelItem(0)->text(2), QStringLiteral("3 件"));
    QVERIFY(!w.cmdOpen->isEnabled());

    server->deleteEntry(server->entryNumbers().front());
    // "No": a new dictionary file beside the set file; the server stays as it is.
    m_fx->prompter.queueAnswer(Answer::No);
    w.cmdRestore->click();
    QVERIFY2(lastMessage().contains(QStringLiteral("新しい辞書ファイル")), qPrintable(lastMessage()));
    store::Dictionary file(m_fx->path(QStringLiteral("窓の辞書.dic")));
    QCOMPARE(exported(file), original);
    QCOMPARE(server->entryCount(), qint64(2));

    // "Yes": the server's entries go back, and what it held is kept as a generation.
    w.lstGenerations->setCurrentItem(w.lstGenerations->topLevelItem(0));
    m_fx->prompter.queueAnswer(Answer::Yes);
    w.cmdRestore->click();
    QVERIFY2(lastMessage().contains(QStringLiteral("戻しました")), qPrintable(lastMessage()));
    QCOMPARE(exported(*server), original);
    QCOMPARE(w.lstGenerations->topLevelItemCount(), 2);
    QVERIFY(w.lstGenerations->topLevelItem(0)->text(0).contains(QStringLiteral("復元前の内容")));
    QCOMPARE(w.lstGenerations->topLevelItem(0)->text(2), QStringLiteral("2 件"));
}

void tst_serverbackupwindow::thePropertiesWindowCompactsOnTheServer()
{
    app::frmDictionaryProperty w(m_fx->prompter, {});
    QVERIFY(w.SetDicFileName(m_location));
    QCOMPARE(w.txtDicName->text(), QStringLiteral("窓の辞書"));
    m_fx->prompter.clear();
    w.cmdCompactDictionary->click();
    QTRY_VERIFY(!m_fx->prompter.texts().isEmpty());
    QVERIFY2(lastMessage().contains(QStringLiteral("最適化が終わりました")), qPrintable(lastMessage()));
    QVERIFY(w.cmdCompactDictionary->isEnabled());
}

QTEST_MAIN(tst_serverbackupwindow)
#include "tst_serverbackupwindow.moc"
