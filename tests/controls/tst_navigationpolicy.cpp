#include "controls/webbrowser/navigationpolicy.h"

#include <QTest>

using corvane::NavigationPolicy;
using Decision = NavigationPolicy::Decision;
using Origin = NavigationPolicy::Origin;

Q_DECLARE_METATYPE(NavigationPolicy::Decision)
Q_DECLARE_METATYPE(NavigationPolicy::Origin)

class TestNavigationPolicy final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decide_data();
    void decide();
};

void TestNavigationPolicy::decide_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<NavigationPolicy::Origin>("origin");
    QTest::addColumn<QString>("current");
    QTest::addColumn<NavigationPolicy::Decision>("expected");

    const QString entry = QStringLiteral("file:///dic/Temp1.htm");
    const QString web = QStringLiteral("https://example.org/a");

    QTest::newRow("host opens a web page") << web << Origin::Host << entry << Decision::Show;
    QTest::newRow("host opens a local page from the web")
        << entry << Origin::Host << web << Decision::Show;
    QTest::newRow("link from an entry page goes outside")
        << QStringLiteral("http://example.org/") << Origin::Link << entry << Decision::OpenOutside;
    QTest::newRow("script in an entry page stays inside")
        << web << Origin::Page << entry << Decision::Show;
    QTest::newRow("link between web pages stays inside")
        << QStringLiteral("https://example.org/b") << Origin::Link << web << Decision::Show;
    QTest::newRow("link between entry pages")
        << QStringLiteral("file:///dic/Temp2.htm") << Origin::Link << entry << Decision::Show;
    QTest::newRow("web page into local files")
        << QStringLiteral("file:///etc/passwd") << Origin::Link << web << Decision::Refuse;
    QTest::newRow("web page redirects into local files")
        << QStringLiteral("file:///etc/passwd") << Origin::Page << web << Decision::Refuse;
    QTest::newRow("unknown scheme from the host")
        << QStringLiteral("ms-its:foo.chm::/a.htm") << Origin::Host << entry << Decision::Refuse;
    QTest::newRow("javascript scheme link")
        << QStringLiteral("javascript:alert(1)") << Origin::Link << entry << Decision::Refuse;
    QTest::newRow("mail link") << QStringLiteral("mailto:a@example.org") << Origin::Link << entry
                               << Decision::Refuse;
    QTest::newRow("blank page") << QStringLiteral("about:blank") << Origin::Page << entry
                                << Decision::Show;
}

void TestNavigationPolicy::decide()
{
    QFETCH(QString, target);
    QFETCH(NavigationPolicy::Origin, origin);
    QFETCH(QString, current);
    QFETCH(NavigationPolicy::Decision, expected);
    QCOMPARE(NavigationPolicy::decide(QUrl(target), origin, QUrl(current)), expected);
}

QTEST_GUILESS_MAIN(TestNavigationPolicy)
#include "tst_navigationpolicy.moc"
