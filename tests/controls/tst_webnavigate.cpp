#include "controls/services.h"
#include "controls/webnavigate/webnavigate.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using qm::desktop::Prompter;

class tst_webnavigate final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void navigateHandsTheAddressToTheDesktop();
    void failureShowsTheConnectionMessage();
    void programsAndOtherSchemesAreRefused();
    void reDisplayOpensTheLastAddressAgain();

private:
    void checkOneConnectionMessage();

    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void tst_webnavigate::init()
{
    m_prompter = {};
    m_navigator = {};
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
}

void tst_webnavigate::cleanup()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
}

void tst_webnavigate::checkOneConnectionMessage()
{
    QCOMPARE(m_prompter.messages().size(), 1);
    const Prompter::Message &m = m_prompter.messages().constFirst();
    QCOMPARE(m.text, QStringLiteral("接続中にエラーが発生しました。アドレスが正しいかどうか確認してください。"));
    QCOMPARE(m.title, QGuiApplication::applicationDisplayName());
    QCOMPARE(m.buttons, Prompter::Buttons::Ok);
    QCOMPARE(m.icon, Prompter::Icon::None);
}

void tst_webnavigate::navigateHandsTheAddressToTheDesktop()
{
    QTemporaryDir manual;
    const QString page = QDir(manual.path()).canonicalPath() + QStringLiteral("/index.htm");
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<html></html>") > 0);
    file.close();

    corvane::WebNavigate control;
    control.Navigate(QStringLiteral("https://example.org/辞書?q=1"));
    control.Navigate(page);
    QCOMPARE(m_navigator.opened(),
             (QList<QUrl>{QUrl(QStringLiteral("https://example.org/辞書?q=1")), QUrl::fromLocalFile(page)}));
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_webnavigate::failureShowsTheConnectionMessage()
{
    m_navigator.setSucceeds(false);
    corvane::WebNavigate control;
    control.Navigate(QStringLiteral("http://nowhere.invalid/"));
    checkOneConnectionMessage();
}

// An address from an entry never runs anything: it fails as an address the desktop could not
// open.
void tst_webnavigate::programsAndOtherSchemesAreRefused()
{
    corvane::WebNavigate control;
    control.Navigate(QStringLiteral("file:///bin/sh"));
    QVERIFY(m_navigator.opened().isEmpty());
    checkOneConnectionMessage();
    m_prompter.clear();
    control.Navigate(QStringLiteral("javascript:alert(1)"));
    QVERIFY(m_navigator.opened().isEmpty());
    checkOneConnectionMessage();
}

void tst_webnavigate::reDisplayOpensTheLastAddressAgain()
{
    corvane::WebNavigate control;
    auto *button = control.findChild<QToolButton *>(QStringLiteral("ReDisplay"));
    QVERIFY(button);
    QVERIFY(!button->icon().isNull());

    button->click(); // nothing given yet: nothing opens, nothing is shown
    QVERIFY(m_navigator.opened().isEmpty());
    QVERIFY(m_prompter.messages().isEmpty());

    control.Navigate(QStringLiteral("https://example.org/first"));
    control.Navigate(QStringLiteral("https://example.org/last"));
    button->click();
    QCOMPARE(m_navigator.opened().size(), 3);
    QCOMPARE(m_navigator.opened().last(), QUrl(QStringLiteral("https://example.org/last")));

    m_navigator.setSucceeds(false);
    button->click();
    checkOneConnectionMessage();
}

QTEST_MAIN(tst_webnavigate)
#include "tst_webnavigate.moc"
