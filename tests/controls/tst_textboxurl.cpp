#include "controls/dialogs/commondialogs.h"
#include "controls/registry.h"
#include "controls/services.h"
#include "controls/textboxurl/textboxurl.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/desktop/twips.h"

#include "tests/common/testfiles.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using corvane::TextBoxURL;
using qm::desktop::Twips;

namespace {

QLineEdit *field(TextBoxURL &control)
{
    return control.findChild<QLineEdit *>(u"txtLink"_qs);
}

QPushButton *button(TextBoxURL &control, const char *name)
{
    return control.findChild<QPushButton *>(QLatin1String(name));
}

const QString connectionError = u"接続中にエラーが発生しました。アドレスが正しいかどうか確認してください。"_qs;

} // namespace

class tst_textboxurl final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void captionsAndTabOrder();
    void fieldTakesTheWidthTheButtonsLeave();
    void editedFlag();
    void loadFileTakesTheUrlLine_data();
    void loadFileTakesTheUrlLine();
    void loadFileErrorsKeepTheField_data();
    void loadFileErrorsKeepTheField();
    void showOpensWebAddressesAndDocuments();
    void showRefusesProgramsAndOtherSchemes_data();
    void showRefusesProgramsAndOtherSchemes();
    void enterOpensTheLinkAndGoesNoFurther();
    void browsePutsTheChosenFileInTheField();

private:
    QString path(const char *name) const { return QDir(m_dir.path()).canonicalPath() + u'/' + QLatin1String(name); }

    QTemporaryDir m_dir;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
    qm::desktop::ScriptedFileChooser m_files;
};

void tst_textboxurl::initTestCase()
{
    QVERIFY(m_dir.isValid());
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
    corvane::CommonDialogs::setFileChooser(&m_files);
}

void tst_textboxurl::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::CommonDialogs::setFileChooser(nullptr);
}

void tst_textboxurl::init()
{
    m_prompter.clear();
    m_navigator = {};
}

void tst_textboxurl::captionsAndTabOrder()
{
    TextBoxURL control;
    auto *label = control.findChild<QLabel *>(u"lblLink"_qs);
    QVERIFY(label && field(control));
    QCOMPARE(label->text(), u"ﾘﾝｸ先のﾌｧｲﾙ/URL(&L)"_qs);
    QCOMPARE(label->buddy(), field(control));
    QCOMPARE(button(control, "cmdRefer")->text(), u"参照(&R)"_qs);
    QCOMPARE(button(control, "cmdShow")->text(), u"表示(&S)"_qs);
    QCOMPARE(field(control)->nextInFocusChain(), button(control, "cmdRefer"));
    QCOMPARE(button(control, "cmdRefer")->nextInFocusChain(), button(control, "cmdShow"));
}

// 120 twips between the field and the browse button, between the buttons and at the right;
// a control too narrow for the field keeps its last width and the buttons follow it.
void tst_textboxurl::fieldTakesTheWidthTheButtonsLeave()
{
    TextBoxURL control;
    control.show(); // a hidden widget is laid out when it is shown
    const auto checkButtonsFollow = [&control] {
        const QRect link = field(control)->geometry();
        const QRect refer = button(control, "cmdRefer")->geometry();
        const QRect show = button(control, "cmdShow")->geometry();
        QVERIFY(qAbs(link.left() - Twips::toPixels(120)) <= 1);
        QVERIFY(qAbs(refer.left() - Twips::toPixels(Twips::fromPixels(link.width()) + 240)) <= 1);
        QVERIFY(qAbs(show.left() - (refer.left() + refer.width() + Twips::toPixels(120))) <= 1);
        QCOMPARE(refer.top(), show.top());
    };
    for (int width : {400, 900, 300}) {
        control.resize(width, control.sizeHint().height());
        checkButtonsFollow();
        const QRect show = button(control, "cmdShow")->geometry();
        QVERIFY2(qAbs(width - (show.left() + show.width()) - Twips::toPixels(120)) <= 2,
                 qPrintable(QStringLiteral("%1: %2 %3").arg(width).arg(show.left()).arg(show.width())));
    }
    const int kept = field(control)->width();
    control.resize(Twips::toPixels(855 + 855 + 480 - 15), 60);
    QCOMPARE(field(control)->width(), kept);
    checkButtonsFollow();
}

void tst_textboxurl::editedFlag()
{
    QWidget window;
    const corvane::Registry::Creation created =
        corvane::Registry::createNew(u"Corvane.TextBoxURL"_qs, u"TextBoxURL"_qs, &window);
    QVERIFY2(created.control, qPrintable(created.error));
    auto &control = *qobject_cast<TextBoxURL *>(created.control);
    QCOMPARE(control.text(), u"TextBoxURL"_qs);

    control.setText(u"https://example.org/"_qs);
    QVERIFY(!control.isEdited());
    QCOMPARE(field(control)->cursorPosition(), 0); // a long address shows its beginning
    QTest::keyClick(field(control), Qt::Key_End);
    QVERIFY(!control.isEdited());
    QTest::keyClick(field(control), Qt::Key_A);
    QVERIFY(control.isEdited());
    QCOMPARE(control.text(), u"https://example.org/a"_qs);
    control.Clear();
    QVERIFY(control.text().isEmpty() && !control.isEdited());

    control.setLocked(true);
    QTest::keyClick(field(control), Qt::Key_B);
    QVERIFY(control.text().isEmpty() && !control.isEdited());
    QVERIFY(!button(control, "cmdRefer")->isEnabled());

    const corvane::Registry::Creation loaded = corvane::Registry::createLoaded(
        u"Corvane.TextBoxURL"_qs, u"TextBoxURL"_qs, {{u"Text"_qs, u"https://example.org/"_qs}, {u"Locked"_qs, true}},
        &window);
    QVERIFY(loaded.control);
    QCOMPARE(loaded.control->property("Text").toString(), u"https://example.org/"_qs);
    QVERIFY(loaded.control->property("Locked").toBool() && !loaded.control->property("Edit").toBool());
}

void tst_textboxurl::loadFileTakesTheUrlLine_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("expected");
    QTest::newRow("shortcut") << QByteArray("[InternetShortcut]\r\nURL=https://example.org/a?b=1&c=2\r\n")
                              << u"https://example.org/a?b=1&c=2"_qs;
    QTest::newRow("lower case") << QByteArray("[InternetShortcut]\r\nurl=http://example.org/\r\n")
                                << u"http://example.org/"_qs;
    QTest::newRow("other lines ignored, the last URL wins")
        << QByteArray("[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\nURL=http://first/\r\n"
                      "IconIndex=0\r\nURL=http://last/\r\nIconFile=C:\\icon.ico")
        << u"http://last/"_qs;
    QTest::newRow("line feeds only") << QByteArray("[InternetShortcut]\nURL=https://example.org/\n")
                                     << u"https://example.org/"_qs;
    QTest::newRow("a Japanese path in CP932") << QByteArray("[InternetShortcut]\r\nURL=file:///home/\x8E\xAB\x8F\x91.pdf\r\n")
                                              << u"file:///home/辞書.pdf"_qs;
    QTest::newRow("UTF-8 with a byte order mark")
        << QByteArray("\xEF\xBB\xBF[InternetShortcut]\r\nURL=https://例え.jp/\r\n") << u"https://例え.jp/"_qs;
    QTest::newRow("no URL line keeps the field") << QByteArray("[InternetShortcut]\r\n") << u"kept"_qs;
    QTest::newRow("nothing after URL=") << QByteArray("URL=\r\n") << QString();
}

void tst_textboxurl::loadFileTakesTheUrlLine()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, expected);
    QVERIFY(qm::test::writeFile(path("link.url"), contents));
    TextBoxURL control;
    control.setText(u"kept"_qs);
    const corvane::Result result = control.LoadFile(path("link.url"));
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(control.text(), expected);
    QVERIFY(!control.isEdited());
}

void tst_textboxurl::loadFileErrorsKeepTheField_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("kept");
    QTest::newRow("empty file") << QByteArray() << u"before"_qs;
    QTest::newRow("a line of just URL") << QByteArray("[InternetShortcut]\r\nURL\r\n") << u"before"_qs;
    QTest::newRow("URL after an address") << QByteArray("URL=http://first/\r\nurl\r\nURL=http://never/\r\n")
                                          << u"http://first/"_qs;
    QTest::newRow("missing file") << QByteArray() << u"before"_qs;
}

void tst_textboxurl::loadFileErrorsKeepTheField()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, kept);
    const bool missing = QByteArray(QTest::currentDataTag()) == "missing file";
    const QString file = path(missing ? "missing.url" : "bad.url");
    if (!missing)
        QVERIFY(qm::test::writeFile(file, contents));
    TextBoxURL control;
    control.setText(u"before"_qs);
    const corvane::Result result = control.LoadFile(file);
    QVERIFY(!result.ok());
    QVERIFY(result.error.contains(QDir::toNativeSeparators(file)));
    QCOMPARE(control.text(), kept);
}

void tst_textboxurl::showOpensWebAddressesAndDocuments()
{
    QVERIFY(qm::test::writeFile(path("manual.pdf"), "%PDF-1.4\n%%EOF\n"));
    TextBoxURL control;
    control.setText(u"https://example.org/"_qs);
    button(control, "cmdShow")->click();
    control.setText(path("manual.pdf"));
    button(control, "cmdShow")->click();
    QCOMPARE(m_navigator.opened(), (QList<QUrl>{QUrl(u"https://example.org/"_qs), QUrl::fromLocalFile(path("manual.pdf"))}));
    QVERIFY(m_prompter.messages().isEmpty());

    m_navigator.setSucceeds(false);
    button(control, "cmdShow")->click();
    QCOMPARE(m_prompter.texts(), QStringList(connectionError));
    const qm::desktop::Prompter::Message &message = m_prompter.messages().constFirst();
    QCOMPARE(message.title, QGuiApplication::applicationDisplayName());
    QCOMPARE(message.buttons, qm::desktop::Prompter::Buttons::Ok);
    QCOMPARE(message.icon, qm::desktop::Prompter::Icon::None);
    QCOMPARE(control.text(), path("manual.pdf"));
}

void tst_textboxurl::showRefusesProgramsAndOtherSchemes_data()
{
    QTest::addColumn<QString>("address");
    QVERIFY(qm::test::writeFile(path("evil.desktop"), "[Desktop Entry]\nType=Application\nExec=sh -c 'echo gotcha'\n"));
    QTest::newRow("shell") << u"file:///bin/sh"_qs;
    QTest::newRow("desktop launcher") << path("evil.desktop");
    QTest::newRow("javascript") << u"javascript:alert(1)"_qs;
    QTest::newRow("empty") << QString();
}

void tst_textboxurl::showRefusesProgramsAndOtherSchemes()
{
    QFETCH(QString, address);
    TextBoxURL control;
    control.setText(address);
    button(control, "cmdShow")->click();
    QVERIFY(m_navigator.opened().isEmpty());
    QCOMPARE(m_prompter.texts(), QStringList(connectionError));
}

// After a link has opened, Enter does not also press the window's default button; after a
// failure it goes on as usual.
void tst_textboxurl::enterOpensTheLinkAndGoesNoFurther()
{
    QDialog window;
    auto *control = new TextBoxURL(&window);
    auto *ok = new QPushButton(u"OK"_qs, &window);
    ok->setDefault(true);
    ok->move(0, 100);
    QSignalSpy pressed(ok, &QPushButton::clicked);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    control->setText(u"https://example.org/"_qs);
    QTest::keyClick(field(*control), Qt::Key_Return);
    QCOMPARE(m_navigator.opened(), QList<QUrl>{QUrl(u"https://example.org/"_qs)});
    QCOMPARE(pressed.size(), 0);

    control->setText(u"javascript:alert(1)"_qs);
    QTest::keyClick(field(*control), Qt::Key_Enter);
    QCOMPARE(m_navigator.opened().size(), 1);
    QCOMPARE(m_prompter.texts(), QStringList(connectionError));
    QCOMPARE(pressed.size(), 1);
}

void tst_textboxurl::browsePutsTheChosenFileInTheField()
{
    TextBoxURL control;
    control.setText(u"before"_qs);
    m_files.queueFile(std::nullopt); // cancelled
    button(control, "cmdRefer")->click();
    QCOMPARE(control.text(), u"before"_qs);
    QVERIFY(!control.isEdited());

    m_files.queueFile(path("資料.pdf"));
    button(control, "cmdRefer")->click();
    QCOMPARE(control.text(), path("資料.pdf"));
    QVERIFY(control.isEdited());
    QCOMPARE(m_files.asked().constLast().kind, u"open"_qs);
    QVERIFY(m_files.asked().constLast().request.filter.isEmpty());
}

QTEST_MAIN(tst_textboxurl)
#include "tst_textboxurl.moc"
