#include "app/entry/editormembers.h"

#include "controls/registry.h"
#include "controls/richtextboxedit/richtextboxedit.h"
#include "controls/textboxedit/textboxedit.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace qm::app;

class tst_editormembers final : public QObject
{
    Q_OBJECT

private slots:
    void richTextBodyIsItsRtf();
    void plainEditorsCarryTheirText();
    void widgetsThatAreNoEditorReadEmptyAndRefuse();

private:
    // A control made the way the entry windows make theirs.
    std::unique_ptr<QWidget> make(const char *className)
    {
        const auto made = corvane::Registry::createNew(QString::fromLatin1(className), QStringLiteral("box"), nullptr);
        if (!made.control)
            qFatal("the library could not make %s", className);
        return std::unique_ptr<QWidget>(made.control);
    }
};

void tst_editormembers::richTextBodyIsItsRtf()
{
    const auto box = make("Corvane.RichTextBoxEdit");
    editor::setBody(box.get(), QStringLiteral("{\\rtf1\\ansi {\\b bold} plain}"));
    QVERIFY2(editor::body(box.get()).startsWith(QLatin1String("{\\rtf")), qPrintable(editor::body(box.get())));
    QCOMPARE(editor::text(box.get()), QStringLiteral("bold plain"));
    QVERIFY(!editor::isEdited(box.get()));

    editor::setTypingFont(box.get(), QStringLiteral("Serif"), 18.0f);
    auto *rich = qobject_cast<corvane::RichTextBoxEdit *>(box.get());
    QCOMPARE(rich->SelFontName().value, QStringLiteral("Serif"));
    QCOMPARE(rich->SelFontSize().value, 18.0f);

    editor::clear(box.get());
    QCOMPARE(editor::text(box.get()), QString());
}

void tst_editormembers::plainEditorsCarryTheirText()
{
    for (const char *className : {"Corvane.TextBoxEdit", "Corvane.TextBoxHTML", "Corvane.TextBoxURL"}) {
        const auto box = make(className);
        editor::setBody(box.get(), QStringLiteral("http://example.org/{\\rtf}"));
        QCOMPARE(editor::body(box.get()), QStringLiteral("http://example.org/{\\rtf}"));
        QCOMPARE(editor::text(box.get()), editor::body(box.get()));
        QVERIFY(!editor::isEdited(box.get()));
    }

    const auto html = make("Corvane.TextBoxHTML");
    editor::setBody(html.get(), QStringLiteral("<html><title>見出し</title></html>"));
    QCOMPARE(editor::title(html.get()).value_or(QStringLiteral("none")), QStringLiteral("見出し"));
    editor::setBody(html.get(), QStringLiteral("<title>never closed"));
    QVERIFY(!editor::title(html.get()));

    const auto text = make("Corvane.TextBoxEdit");
    QVERIFY(!editor::title(text.get()));
    editor::setFont(text.get(), QFont(QStringLiteral("Monospace"), 15));
    QCOMPARE(qobject_cast<corvane::TextBoxEdit *>(text.get())->editorFont().pointSize(), 15);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("body.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("loaded");
    file.close();
    QCOMPARE(editor::loadFile(text.get(), path), QString());
    QCOMPARE(editor::text(text.get()), QStringLiteral("loaded"));
    QVERIFY(!editor::loadFile(text.get(), dir.filePath(QStringLiteral("missing.txt"))).isEmpty());
}

void tst_editormembers::widgetsThatAreNoEditorReadEmptyAndRefuse()
{
    // The placeholder an entry window shows when the library could not make an editor.
    QLabel placeholder(QStringLiteral("shown"));
    for (QWidget *w : {static_cast<QWidget *>(&placeholder), static_cast<QWidget *>(nullptr)}) {
        editor::setBody(w, QStringLiteral("body"));
        editor::clear(w);
        QCOMPARE(editor::body(w), QString());
        QCOMPARE(editor::text(w), QString());
        QVERIFY(!editor::isEdited(w));
        QVERIFY(!editor::title(w));
        QCOMPARE(editor::loadFile(w, QStringLiteral("/nonexistent")), QStringLiteral("この種類の本文を編集する部品がありません。"));
    }
    QCOMPARE(placeholder.text(), QStringLiteral("shown"));
}

QTEST_MAIN(tst_editormembers)
#include "tst_editormembers.moc"
