#include "webenginetestmain.h"

#include "controls/libraryfolder.h"
#include "controls/registry.h"
#include "controls/services.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

#include <QMetaMethod>
#include <QPointer>
#include <QTemporaryDir>

using corvane::Registry;

class TestRegistry final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void webControlsAreRegistered();
    void everyClassIsCreatedByNameAndReportsItsMembers();
    void unknownClassFailsCleanly();

private:
    QTemporaryDir m_folder;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void TestRegistry::initTestCase()
{
    QVERIFY(m_folder.isValid());
    corvane::LibraryFolder::setPath(m_folder.path());
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
}

void TestRegistry::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::LibraryFolder::setPath({});
}

void TestRegistry::webControlsAreRegistered()
{
    const QStringList names = Registry::classNames();
    QVERIFY(names.contains(QStringLiteral("Corvane.WebNavigate")));
    QVERIFY(names.contains(QStringLiteral("Corvane.WebBrowser")));
    QCOMPARE(Registry::members(QStringLiteral("Corvane.WebNavigate")),
             std::optional(QStringList{QStringLiteral("Navigate")}));
    const QStringList browser = Registry::members(QStringLiteral("Corvane.WebBrowser")).value();
    QVERIFY(browser.contains(QStringLiteral("Navigate")));
    QVERIFY(browser.contains(QStringLiteral("ShowDefault")));
}

// The members a host uses, per class; a class registered later adds its row here.
void TestRegistry::everyClassIsCreatedByNameAndReportsItsMembers()
{
    const QHash<QString, QStringList> expected{
        {QStringLiteral("Corvane.TextBoxEdit"),
         {QStringLiteral("Text"), QStringLiteral("Font"), QStringLiteral("Locked"),
          QStringLiteral("Edit"), QStringLiteral("Clear"), QStringLiteral("LoadFile")}},
        {QStringLiteral("Corvane.TextBoxHTML"),
         {QStringLiteral("Text"), QStringLiteral("Font"), QStringLiteral("Locked"),
          QStringLiteral("Edit"), QStringLiteral("Clear"), QStringLiteral("LoadFile"),
          QStringLiteral("GetTitle")}},
        {QStringLiteral("Corvane.RichTextBoxEdit"),
         {QStringLiteral("Text"), QStringLiteral("TextRTF"), QStringLiteral("Font"),
          QStringLiteral("SelFontName"), QStringLiteral("SelFontSize"), QStringLiteral("Locked"),
          QStringLiteral("Edit"), QStringLiteral("Clear"), QStringLiteral("LoadFile")}},
        {QStringLiteral("Corvane.TextBoxURL"),
         {QStringLiteral("Text"), QStringLiteral("Locked"), QStringLiteral("Edit"),
          QStringLiteral("Clear"), QStringLiteral("LoadFile")}},
        {QStringLiteral("Corvane.WebNavigate"), {QStringLiteral("Navigate")}},
        {QStringLiteral("Corvane.WebBrowser"),
         {QStringLiteral("ShowDefault"), QStringLiteral("Navigate")}},
    };

    QWidget window;
    for (const QString &className : Registry::classNames()) {
        QVERIFY2(expected.contains(className), qPrintable(className));
        const QStringList members = Registry::members(className).value_or(QStringList());
        for (const QString &member : expected.value(className))
            QVERIFY2(members.contains(member), qPrintable(className + QLatin1Char('.') + member));

        const Registry::Creation created = Registry::createNew(className, QStringLiteral("Ctl"), &window);
        QVERIFY2(created.control, qPrintable(created.error));
        QCOMPARE(created.control->objectName(), QStringLiteral("Ctl"));
        QCOMPARE(created.control->parentWidget(), &window);
        QCOMPARE(created.control->metaObject(), Registry::metaObject(className));
        delete created.control;
    }
    QVERIFY(m_prompter.messages().isEmpty());
}

void TestRegistry::unknownClassFailsCleanly()
{
    QWidget window;
    for (const QString &name : {QStringLiteral("Corvane.NoSuchControl"), QString(),
                                QStringLiteral("corvane.webbrowser")}) {
        const Registry::Creation created = Registry::createNew(name, QStringLiteral("x"), &window);
        QVERIFY(!created.control);
        QVERIFY(created.error.contains(QLatin1Char('"') + name + QLatin1Char('"')));
        QVERIFY(!Registry::contains(name));
        QVERIFY(!Registry::members(name));
        QVERIFY(!Registry::metaObject(name));
        const Registry::Creation loaded = Registry::createLoaded(name, QStringLiteral("x"), {}, &window);
        QVERIFY(!loaded.control);
    }
    QVERIFY(window.findChildren<corvane::Control *>().isEmpty());
}

CORVANE_WEBENGINE_TEST_MAIN(TestRegistry)
#include "tst_registry.moc"
