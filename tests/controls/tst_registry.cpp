#include "webenginetestmain.h"

#include "controls/libraryfolder.h"
#include "controls/registry.h"
#include "controls/services.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool mapped(const QByteArray &library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

} // namespace

using corvane::Registry;

class tst_registry final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void webEngineLoadsWithTheFirstBrowser();
    void everyClassIsCreatedByNameAndReportsItsMembers();
    void browserWithoutItsEngineFailsWithTheReason();
    void unknownClassFailsCleanly();

private:
    QTemporaryDir m_folder;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void tst_registry::initTestCase()
{
    corvane::LibraryFolder::setPath(m_folder.path());
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
}

void tst_registry::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::LibraryFolder::setPath({});
}

// This test does not link the web engine, so only the library's browser can bring it in; the
// other controls leave it unloaded.
void tst_registry::webEngineLoadsWithTheFirstBrowser()
{
    const QByteArray engine = "libQt6WebEngineCore";
    QWidget window;
    for (const QString &className : Registry::classNames()) {
        if (className != QLatin1String("Corvane.WebBrowser"))
            QVERIFY2(Registry::createNew(className, className, &window).control, qPrintable(className));
    }
    QVERIFY(!mapped(engine));
    const Registry::Creation browser = Registry::createNew(QStringLiteral("Corvane.WebBrowser"), QStringLiteral("b"), &window);
    QVERIFY2(browser.control, qPrintable(browser.error));
    QVERIFY(mapped("libcorvane_web.so"));
    QVERIFY(mapped(engine));
}

// The members hosts use, per class; a class registered later adds its row.
void tst_registry::everyClassIsCreatedByNameAndReportsItsMembers()
{
    const QHash<QString, QString> expected{
        {QStringLiteral("Corvane.TextBoxEdit"), QStringLiteral("Text Locked Edit Font Clear LoadFile")},
        {QStringLiteral("Corvane.RichTextBoxEdit"),
         QStringLiteral("Text Locked Edit Font TextRTF SelFontName SelFontSize Clear LoadFile")},
        {QStringLiteral("Corvane.TextBoxHTML"), QStringLiteral("Text Locked Edit Font Clear LoadFile GetTitle")},
        {QStringLiteral("Corvane.TextBoxURL"), QStringLiteral("Text Locked Edit Clear LoadFile")},
        {QStringLiteral("Corvane.WebNavigate"), QStringLiteral("Navigate")},
        {QStringLiteral("Corvane.WebBrowser"), QStringLiteral("ShowDefault Navigate")},
    };
    const QStringList names = Registry::classNames();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(names.contains(it.key()), qPrintable(it.key()));

    QWidget window;
    for (const QString &className : names) {
        QVERIFY2(expected.contains(className), qPrintable(className));
        QCOMPARE(Registry::members(className).value_or(QStringList()).join(QLatin1Char(' ')),
                 expected.value(className));
        const Registry::Creation created = Registry::createNew(className, QStringLiteral("Ctl"), &window);
        QVERIFY2(created.control, qPrintable(created.error));
        QCOMPARE(created.control->objectName(), QStringLiteral("Ctl"));
        QCOMPARE(created.control->parentWidget(), &window);
        QCOMPARE(created.control->metaObject(), Registry::metaObject(className));
    }
    QVERIFY(m_prompter.messages().isEmpty());
}

// A control library whose engine library is missing (run in a child that finds a copy of the
// library alone in a folder) fails the browser's creation and says why.
void tst_registry::browserWithoutItsEngineFailsWithTheReason()
{
    const char *const alone = "QM_CORVANE_ALONE";
    if (qEnvironmentVariableIsSet(alone)) {
        QWidget window;
        const Registry::Creation created = Registry::createNew(QStringLiteral("Corvane.WebBrowser"), QStringLiteral("b"), &window);
        QVERIFY(!created.control);
        QVERIFY2(created.error.startsWith(QStringLiteral("ページを表示する部品を読み込めませんでした。\n")), qPrintable(created.error));
        QVERIFY(created.error.contains(QLatin1String("libcorvane_web.so")));
        QVERIFY(Registry::createNew(QStringLiteral("Corvane.TextBoxEdit"), QStringLiteral("t"), &window).control);
        return;
    }
    QTemporaryDir folder;
    QVERIFY(QFile::copy(QStringLiteral(QM_CORVANE_LIBRARY), folder.filePath(QStringLiteral("libcorvane.so"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), folder.path());
    env.insert(QString::fromLatin1(alone), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("browserWithoutItsEngineFailsWithTheReason")});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("Totals: 3 passed, 0 failed"), output.constData());
}

void tst_registry::unknownClassFailsCleanly()
{
    QWidget window;
    for (const QString &name : {QStringLiteral("Corvane.NoSuchControl"), QString(),
                                QStringLiteral("corvane.webbrowser")}) {
        const Registry::Creation created = Registry::createNew(name, QStringLiteral("x"), &window);
        QVERIFY(!created.control);
        QVERIFY(created.error.contains(QLatin1Char('"') + name + QLatin1Char('"')));
        QVERIFY(!Registry::createLoaded(name, QStringLiteral("x"), {}, &window).control);
        QVERIFY(!Registry::members(name) && !Registry::metaObject(name));
    }
    QVERIFY(window.findChildren<corvane::Control *>().isEmpty());
}

CORVANE_WEBENGINE_TEST_MAIN(tst_registry)
#include "tst_registry.moc"
