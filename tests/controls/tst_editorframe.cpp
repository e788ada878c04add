#include "controls/fonteditorcontrol.h"

#include <QDataStream>
#include <QPlainTextEdit>
#include <QTest>

namespace {

// A minimal editor on the shared frame, built the way the library's editors are: the widget's
// change notification sets the flag, the setters clear it after changing the contents. Its
// "Font" leaves the flag alone, so only "Text" can clear it during loading.
class ProbeEditor final : public corvane::FontEditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProbeEditor)

public:
    explicit ProbeEditor(const QString &name, QWidget *parent = nullptr)
        : FontEditorControl(parent)
        , m_box(new QPlainTextEdit(this))
    {
        setObjectName(name);
        QFont own = m_box->font();
        own.setPointSize(13);
        m_box->setFont(own);
        captureDefaultFont(m_box->font());
        connect(m_box, &QPlainTextEdit::textChanged, this, &ProbeEditor::markEdited);
    }

    QString text() const override { return m_box->toPlainText(); }
    void setText(const QString &text) override
    {
        calls.append(QStringLiteral("Text"));
        m_box->setPlainText(text);
        clearEditFlag();
    }
    bool isLocked() const override { return m_box->isReadOnly(); }
    void setLocked(bool locked) override
    {
        calls.append(QStringLiteral("Locked"));
        m_box->setReadOnly(locked);
    }
    QFont editorFont() const override { return m_box->font(); }
    void setEditorFont(const QFont &font) override
    {
        calls.append(QStringLiteral("Font"));
        m_box->setFont(font);
    }
    void Clear() override
    {
        m_box->clear();
        clearEditFlag();
    }
    corvane::Result LoadFile(const QString &) override { return corvane::Result::success(); }

    void type(const QString &text) { m_box->insertPlainText(text); }

    QStringList calls;

private:
    QPlainTextEdit *m_box;
};

corvane::PropertyBag throughStream(const corvane::PropertyBag &bag)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << bag;
    corvane::PropertyBag back;
    QDataStream in(bytes);
    in >> back;
    return back;
}

} // namespace

class TestEditorFrame final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newInstanceShowsItsInstanceName();
    void loadedInstanceReadsThroughTheSettersInOrder();
    void missingOrUnfitValuesReadAsDefaults();
    void savedDesignRoundTrips();
    void hostSeesTheMembersByName();
};

void TestEditorFrame::newInstanceShowsItsInstanceName()
{
    ProbeEditor editor(QStringLiteral("TextBox"));
    QVERIFY(!editor.isEdited());
    editor.initProperties();
    QCOMPARE(editor.text(), QStringLiteral("TextBox"));
    QVERIFY(!editor.isEdited());

    editor.type(QStringLiteral("x"));
    QVERIFY(editor.isEdited());
    editor.setText(QStringLiteral("本文"));
    QVERIFY(!editor.isEdited());
}

void TestEditorFrame::loadedInstanceReadsThroughTheSettersInOrder()
{
    ProbeEditor editor(QStringLiteral("HTMLBox"));
    editor.type(QStringLiteral("typed before loading"));
    QFont font(QStringLiteral("Noto Sans CJK JP"), 17);
    editor.readProperties({{QStringLiteral("Locked"), true},
                           {QStringLiteral("Font"), font},
                           {QStringLiteral("Text"), QStringLiteral("保存された本文")}});

    QCOMPARE(editor.calls, (QStringList{QStringLiteral("Text"), QStringLiteral("Font"),
                                        QStringLiteral("Locked")}));
    QCOMPARE(editor.text(), QStringLiteral("保存された本文"));
    QCOMPARE(editor.editorFont().pointSize(), 17);
    QVERIFY(editor.isLocked());
    QVERIFY(!editor.isEdited());
}

void TestEditorFrame::missingOrUnfitValuesReadAsDefaults()
{
    ProbeEditor editor(QStringLiteral("RTFBox"));
    editor.setEditorFont(QFont(QStringLiteral("Serif"), 30));
    editor.setLocked(true);
    editor.readProperties({{QStringLiteral("Locked"), QVariant::fromValue(QSize(1, 2))}});

    QCOMPARE(editor.text(), QStringLiteral("RTFBox"));
    QCOMPARE(editor.editorFont(), editor.defaultFont());
    QCOMPARE(editor.defaultFont().pointSize(), 13);
    QVERIFY(!editor.isLocked());
}

void TestEditorFrame::savedDesignRoundTrips()
{
    ProbeEditor first(QStringLiteral("TextBox"));
    first.initProperties();
    QVERIFY(first.writeProperties().isEmpty()); // every value is its default

    first.setText(QStringLiteral("一行目\r\n二行目"));
    first.setEditorFont(QFont(QStringLiteral("Monospace"), 21));
    first.setLocked(true);
    const corvane::PropertyBag saved = throughStream(first.writeProperties());

    ProbeEditor second(QStringLiteral("TextBox"));
    second.readProperties(saved);
    QCOMPARE(second.text(), first.text());
    QCOMPARE(second.editorFont(), first.editorFont());
    QVERIFY(second.isLocked());
    QCOMPARE(second.writeProperties(), first.writeProperties());
}

void TestEditorFrame::hostSeesTheMembersByName()
{
    ProbeEditor editor(QStringLiteral("TextBox"));
    QObject &host = editor;
    QVERIFY(host.setProperty("Text", QStringLiteral("by name")));
    QCOMPARE(editor.text(), QStringLiteral("by name"));
    editor.type(QStringLiteral("!"));
    QCOMPARE(host.property("Edit").toBool(), true);
    QVERIFY(QMetaObject::invokeMethod(&host, "Clear"));
    QCOMPARE(host.property("Text").toString(), QString());
    QCOMPARE(host.property("Edit").toBool(), false);
    QVERIFY(!host.setProperty("Edit", true)); // read-only
}

QTEST_MAIN(TestEditorFrame)
#include "tst_editorframe.moc"
