#include "controls/services.h"
#include "controls/webnavigate/desktoplink.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using corvane::DesktopLink;

namespace {

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
}

const QByteArray pdf("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n%%EOF\n");
constexpr char pngHeader[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0";
const QByteArray png(pngHeader, sizeof pngHeader - 1);

} // namespace

class tst_desktoplink final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void webAndMailAddressesPass_data();
    void webAndMailAddressesPass();
    void documentsAndFoldersPass_data();
    void documentsAndFoldersPass();
    void programsLaunchersAndOtherSchemesAreRefused_data();
    void programsLaunchersAndOtherSchemesAreRefused();
    void refusedAddressesNeverReachTheDesktop();

private:
    QString path(const char *name) const { return QDir(m_dir.path()).canonicalPath() + u'/' + QLatin1String(name); }

    QTemporaryDir m_dir;
};

void tst_desktoplink::initTestCase()
{
    QVERIFY(m_dir.isValid());
    writeFile(path("manual.pdf"), pdf);
    writeFile(path("写真.png"), png);
    writeFile(path("page.htm"), "<html><title>x</title></html>");
    writeFile(path("notes.txt"), "A note on launchers.\n\nA desktop launcher is a text file that starts\nwith a line\n"
                                 "[Desktop Entry]\n");
    writeFile(path("scan.pdf"), pdf, true); // a memory card marks every file executable
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QFile::link(path("manual.pdf"), path("link-to-manual.pdf")));

    writeFile(path("launcher.desktop"), "[Desktop Entry]\nType=Application\nExec=sh -c 'rm -rf ~'\n");
    writeFile(path("hidden-launcher.txt"), "# looks like notes\n\n[Desktop Entry]\nExec=sh\n");
    writeFile(path("script.pdf"), "#!/bin/sh\necho gotcha\n");
    writeFile(path("elf.png"), QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(64, '\0'));
    writeFile(path("run.sh"), "echo hi\n", true);
    writeFile(path("executable.txt"), "echo hi\n", true);
    writeFile(path("tool.py"), "print('hi')\n");
    writeFile(path("noname"), "plain\n");
    QVERIFY(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600) == 0);
}

void tst_desktoplink::webAndMailAddressesPass_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QUrl>("expected");
    QTest::newRow("https") << u"https://example.org/"_qs << QUrl(u"https://example.org/"_qs);
    QTest::newRow("http, capitals") << u"HTTP://Example.org/辞書?q=1"_qs << QUrl(u"http://example.org/辞書?q=1"_qs);
    QTest::newRow("typed without scheme") << u" example.org "_qs << QUrl(u"http://example.org"_qs);
    QTest::newRow("mailto") << u"mailto:someone@example.org"_qs << QUrl(u"mailto:someone@example.org"_qs);
}

void tst_desktoplink::webAndMailAddressesPass()
{
    QFETCH(QString, address);
    QFETCH(QUrl, expected);
    QCOMPARE(DesktopLink::target(address), std::optional<QUrl>(expected));
}

void tst_desktoplink::documentsAndFoldersPass_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected"); // the local file the desktop gets
    const auto row = [this](const char *name, const QString &address, const char *file) {
        QTest::newRow(name) << address << path(file);
    };
    row("PDF by path", path("manual.pdf"), "manual.pdf");
    row("PDF as file URL", QUrl::fromLocalFile(path("manual.pdf")).toString(), "manual.pdf");
    row("file URL of localhost", u"file://localhost"_qs + path("manual.pdf"), "manual.pdf");
    row("picture with a Japanese name", path("写真.png"), "写真.png");
    row("page", path("page.htm"), "page.htm");
    row("text that mentions a launcher", path("notes.txt"), "notes.txt");
    row("executable PDF on a memory card", path("scan.pdf"), "scan.pdf");
    row("folder", path("folder"), "folder");
    row("link, opened as its target", path("link-to-manual.pdf"), "manual.pdf");
}

void tst_desktoplink::documentsAndFoldersPass()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(DesktopLink::target(address), std::optional<QUrl>(QUrl::fromLocalFile(expected)));
}

void tst_desktoplink::programsLaunchersAndOtherSchemesAreRefused_data()
{
    QTest::addColumn<QString>("address");
    const auto row = [](const char *name, const QString &address) { QTest::newRow(name) << address; };
    row("shell", u"file:///bin/sh"_qs);
    row("shell by path", u"/bin/sh"_qs);
    row("desktop launcher", path("launcher.desktop"));
    row("launcher named as text", path("hidden-launcher.txt"));
    row("script named as PDF", path("script.pdf"));
    row("program named as picture", path("elf.png"));
    row("executable script", path("run.sh"));
    row("executable text", path("executable.txt"));
    row("script by name", path("tool.py"));
    row("no type", path("noname"));
    row("pipe", path("pipe.txt"));
    row("missing file", path("missing.pdf"));
    row("file of another machine", u"file://server/share/manual.pdf"_qs);
    row("javascript", u"javascript:alert(document.cookie)"_qs);
    row("data", u"data:text/html,<script>alert(1)</script>"_qs);
    row("unknown scheme", u"ms-its:help.chm::/index.htm"_qs);
    row("ftp", u"ftp://example.org/file"_qs);
    row("web address without host", u"http://"_qs);
    row("empty mail address", u"mailto:"_qs);
    row("empty", QString());
    row("blank", u"  "_qs);
}

void tst_desktoplink::programsLaunchersAndOtherSchemesAreRefused()
{
    QFETCH(QString, address);
    QCOMPARE(DesktopLink::target(address), std::nullopt);
}

void tst_desktoplink::refusedAddressesNeverReachTheDesktop()
{
    qm::desktop::RecordingNavigator navigator;
    qm::desktop::ScriptedPrompter prompter;
    corvane::Services::setNavigator(&navigator);
    corvane::Services::setPrompter(&prompter);

    QVERIFY(!DesktopLink::open(path("launcher.desktop")));
    QVERIFY(!DesktopLink::openOrTell(u"file:///bin/sh"_qs));
    QVERIFY(navigator.opened().isEmpty());
    QCOMPARE(prompter.texts(),
             QStringList(u"接続中にエラーが発生しました。アドレスが正しいかどうか確認してください。"_qs));

    QVERIFY(DesktopLink::open(path("manual.pdf")));
    navigator.setSucceeds(false); // the desktop itself fails
    QVERIFY(!DesktopLink::openOrTell(u"https://example.org/"_qs));
    QCOMPARE(navigator.opened().size(), 2);
    QCOMPARE(prompter.messages().size(), 2);

    corvane::Services::setNavigator(nullptr);
    corvane::Services::setPrompter(nullptr);
}

QTEST_GUILESS_MAIN(tst_desktoplink)
#include "tst_desktoplink.moc"
