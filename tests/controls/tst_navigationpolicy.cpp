#include "controls/webbrowser/navigationpolicy.h"

#include <QTest>

using corvane::NavigationPolicy;
using Decision = NavigationPolicy::Decision;
using Origin = NavigationPolicy::Origin;

class tst_navigationpolicy final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decide_data();
    void decide();
};

void tst_navigationpolicy::decide_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("origin");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("expected");

    const QString entry = QStringLiteral("file:///dic/Temp1.htm");
    const QString web = QStringLiteral("https://example.org/a");
    const auto row = [](const char *name, const QString &target, Origin origin,
                        const QString &current, Decision expected) {
        QTest::newRow(name) << target << int(origin) << current << int(expected);
    };
    row("host opens the web", web, Origin::Host, entry, Decision::Show);
    row("host opens a local page", entry, Origin::Host, web, Decision::Show);
    row("link from an entry page", QStringLiteral("http://example.org/"), Origin::Link, entry,
        Decision::OpenOutside);
    row("script in an entry page", web, Origin::Page, entry, Decision::Show);
    row("link between web pages", web, Origin::Link, QStringLiteral("https://example.org/b"),
        Decision::Show);
    row("link between entry pages", QStringLiteral("file:///dic/T2.htm"), Origin::Link, entry,
        Decision::Show);
    row("web page into local files", QStringLiteral("file:///etc/passwd"), Origin::Page, web,
        Decision::Refuse);
    row("unknown scheme", QStringLiteral("ms-its:a.chm::/a.htm"), Origin::Host, entry,
        Decision::Refuse);
    row("javascript link", QStringLiteral("javascript:alert(1)"), Origin::Link, entry,
        Decision::Refuse);
}

void tst_navigationpolicy::decide()
{
    QFETCH(QString, target);
    QFETCH(int, origin);
    QFETCH(QString, current);
    QFETCH(int, expected);
    QCOMPARE(int(NavigationPolicy::decide(QUrl(target), Origin(origin), QUrl(current))), expected);
}

QTEST_GUILESS_MAIN(tst_navigationpolicy)
#include "tst_navigationpolicy.moc"
