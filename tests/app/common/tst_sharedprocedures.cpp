#include "app/common/oleprocedures.h"
#include "app/common/showhelp.h"

#include "platform/desktop/programfolder.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/objects/objectcontainer.h"
#include "platform/objects/objectimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "tests/common/testfiles.h"

using namespace qm::app;
using qm::desktop::ProgramFolder;
using qm::objects::ObjectContainer;

namespace {

using qm::test::readFile;
using qm::test::writeFile;

} // namespace

class tst_sharedprocedures final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void showHelpWritesTheRedirectPage();
    void redirectAddressIsSafe();
    void saveOfAnEmptyContainer();
    void loadThenSaveGivesTheSameBytes();
    void corruptImageLeavesTheContainerEmpty();
};

void tst_sharedprocedures::cleanup()
{
    ProgramFolder::setPath({});
}

void tst_sharedprocedures::showHelpWritesTheRedirectPage()
{
    QTemporaryDir dir;
    // A folder name with backslashes, as a path copied from elsewhere might have.
    const QString folder = dir.filePath(QStringLiteral("Quill\\mere"));
    QVERIFY(QDir().mkpath(folder));
    ProgramFolder::setPath(folder);
    writeFile(folder + QStringLiteral("/ShowHelp.htm"), "an old page that is much longer than the new one ..........................................................................................................................................................................................................................................................");

    qm::desktop::RecordingNavigator navigator;
    ShowHelp(QStringLiteral("DicSets.htm#MakeDic"), navigator);

    const QByteArray page = readFile(folder + QStringLiteral("/ShowHelp.htm"));
    QVERIFY(page.endsWith("\r\n"));
    const QList<QByteArray> lines = page.chopped(2).split('\n');
    QCOMPARE(lines.size(), 6);
    for (const QByteArray &line : lines.first(5))
        QVERIFY(line.endsWith('\r'));
    QCOMPARE(lines.at(0), QByteArray("<Html>\r"));
    QCOMPARE(lines.at(1), QByteArray("<Head><Title>ShowHelp</Title></Head>\r"));
    QCOMPARE(lines.at(2), QByteArray("<Script Language=\"JavaScript\">\r"));
    QCOMPARE(lines.at(4), QByteArray("</Script>\r"));
    QCOMPARE(lines.at(5), QByteArray("</Html>"));

    const QByteArray redirect = lines.at(3).chopped(1);
    QVERIFY(redirect.startsWith("location.href=\"file:///"));
    QVERIFY(redirect.endsWith("manual/DicSets.htm#MakeDic\";"));
    QVERIFY(!redirect.contains('\\'));
    // The address leads to the manual folder of this program folder, backslashes included.
    const QUrl target(QString::fromLatin1(redirect.mid(15).chopped(2)));
    QCOMPARE(target.toLocalFile(), folder + QStringLiteral("/manual/DicSets.htm"));
    QCOMPARE(target.fragment(), QStringLiteral("MakeDic"));

    QCOMPARE(navigator.opened(), QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/ShowHelp.htm"))});
}

void tst_sharedprocedures::redirectAddressIsSafe()
{
    const QString page = HelpRedirectPage(QStringLiteral("/home/ユーザー/a\"b;c"), QStringLiteral("Main.htm"));
    const QString redirect = page.split(QStringLiteral("\r\n")).at(3);
    QCOMPARE(redirect.count(QLatin1Char('"')), 2);
    QVERIFY(redirect.endsWith(QStringLiteral("/manual/Main.htm\";")));
    for (QChar c : redirect)
        QVERIFY(c.unicode() < 0x80);
}

void tst_sharedprocedures::saveOfAnEmptyContainer()
{
    QTemporaryDir dir;
    const QString temp = dir.filePath(QStringLiteral("Temp_new.ole"));
    writeFile(temp, "left alone");
    ObjectContainer container;
    QVERIFY(SaveOleObject(container, temp).isEmpty());
    QCOMPARE(readFile(temp), QByteArray("left alone"));
}

void tst_sharedprocedures::loadThenSaveGivesTheSameBytes()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("表.csv"));
    writeFile(source, QByteArray("a,b\r\n\0\xFF", 7));
    const QString temp = dir.filePath(QStringLiteral("Temp12.ole"));

    ObjectContainer original;
    QVERIFY(original.createEmbedFromFile(source));
    const QByteArray embedded = SaveOleObject(original, temp);
    QVERIFY(!embedded.isEmpty());
    QCOMPARE(readFile(temp), embedded);

    ObjectContainer link;
    QVERIFY(link.createLinkFromFile(source));
    const QByteArray linked = SaveOleObject(link, temp);

    for (const QByteArray &image : {embedded, linked}) {
        ObjectContainer viewer;
        QVERIFY(LoadOleObject(viewer, image, temp));
        QCOMPARE(readFile(temp), image);
        QCOMPARE(SaveOleObject(viewer, dir.filePath(QStringLiteral("Temp_new.ole"))), image);
    }
}

void tst_sharedprocedures::corruptImageLeavesTheContainerEmpty()
{
    QTemporaryDir dir;
    const QString temp = dir.filePath(QStringLiteral("Temp1.ole"));
    ObjectContainer container;
    QVERIFY(container.createLinkFromFile(QCoreApplication::applicationFilePath()));
    QByteArray image = qm::objects::image::toBytes(*container.object());
    image.chop(3);
    QVERIFY(!LoadOleObject(container, image, temp));
    QCOMPARE(container.objectType(), ObjectContainer::ObjectType::None);

    QVERIFY(container.createLinkFromFile(QCoreApplication::applicationFilePath()));
    QVERIFY(!LoadOleObject(container, qm::objects::image::toBytes(*container.object()),
                           dir.filePath(QStringLiteral("no/such/folder/Temp1.ole"))));
    QCOMPARE(container.objectType(), ObjectContainer::ObjectType::None);
}

QTEST_MAIN(tst_sharedprocedures)
#include "tst_sharedprocedures.moc"
