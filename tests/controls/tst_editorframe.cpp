#include "controls/fonteditorcontrol.h"

#include <QDataStream>
#include <QPlainTextEdit>
#include <QTest>

namespace {

// A minimal editor built on the frame the way the library's editors are: the widget's change
// notification sets the flag, "Text" clears it after changing the contents, "Font" leaves it.
class ProbeEditor final : public corvane::FontEditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProbeEditor)

public:
    explicit ProbeEditor(const QString &name)
        : FontEditorControl(nullptr)
        , m_box(new QPlainTextEdit(this))
    {
        setObjectName(name);
        m_box->setFont(QFont(QStringLiteral("Sans"), 13));
        captureDefaultFont(m_box->font());
        connect(m_box, &QPlainTextEdit::textChanged, this, &ProbeEditor::markEdited);
    }

    QString text() const override { return m_box->toPlainText(); }
    void setText(const QString &text) override
    {
        calls << QStringLiteral("Text");
        m_box->setPlainText(text);
        clearEditFlag();
    }
    bool isLocked() const override { return m_box->isReadOnly(); }
    void setLocked(bool locked) override { calls << QStringLiteral("Locked"), m_box->setReadOnly(locked); }
    QFont editorFont() const override { return m_box->font(); }
    void setEditorFont(const QFont &font) override { calls << QStringLiteral("Font"), m_box->setFont(font); }
    void Clear() override { m_box->clear(), clearEditFlag(); }
    corvane::Result LoadFile(const QString &) override { return {}; }

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

class tst_editorframe final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newInstanceShowsItsInstanceName();
    void loadedInstanceReadsThroughTheSettersInOrder();
    void missingOrUnfitValuesReadAsDefaults();
    void savedDesignRoundTrips();
};

void tst_editorframe::newInstanceShowsItsInstanceName()
{
    ProbeEditor editor(QStringLiteral("TextBox"));
    editor.initProperties();
    QCOMPARE(editor.property("Text").toString(), QStringLiteral("TextBox"));
    QVERIFY(!editor.property("Edit").toBool());
    editor.type(QStringLiteral("x"));
    QVERIFY(editor.property("Edit").toBool());
    QVERIFY(QMetaObject::invokeMethod(&editor, "Clear"));
    QVERIFY(!editor.property("Edit").toBool());
    QVERIFY(!editor.setProperty("Edit", true)); // read-only for the host
}

void tst_editorframe::loadedInstanceReadsThroughTheSettersInOrder()
{
    ProbeEditor editor(QStringLiteral("HTMLBox"));
    editor.type(QStringLiteral("typed before loading"));
    editor.readProperties({{QStringLiteral("Locked"), true},
                           {QStringLiteral("Font"), QFont(QStringLiteral("Serif"), 17)},
                           {QStringLiteral("Text"), QStringLiteral("保存された本文")}});
    QCOMPARE(editor.calls.join(QLatin1Char(' ')), QStringLiteral("Text Font Locked"));
    QCOMPARE(editor.text(), QStringLiteral("保存された本文"));
    QCOMPARE(editor.editorFont().pointSize(), 17);
    QVERIFY(editor.isLocked());
    QVERIFY(!editor.isEdited());
}

void tst_editorframe::missingOrUnfitValuesReadAsDefaults()
{
    ProbeEditor editor(QStringLiteral("RTFBox"));
    editor.setEditorFont(QFont(QStringLiteral("Serif"), 30));
    editor.setLocked(true);
    editor.readProperties({{QStringLiteral("Locked"), QSize(1, 2)}});
    QCOMPARE(editor.text(), QStringLiteral("RTFBox"));
    QCOMPARE(editor.editorFont(), editor.defaultFont());
    QCOMPARE(editor.defaultFont().pointSize(), 13);
    QVERIFY(!editor.isLocked());
}

void tst_editorframe::savedDesignRoundTrips()
{
    ProbeEditor first(QStringLiteral("TextBox"));
    first.initProperties();
    QVERIFY(first.writeProperties().isEmpty()); // every value is its default

    first.setText(QStringLiteral("一行目\r\n二行目"));
    first.setEditorFont(QFont(QStringLiteral("Monospace"), 21));
    first.setLocked(true);
    ProbeEditor second(QStringLiteral("TextBox"));
    second.readProperties(throughStream(first.writeProperties()));
    QCOMPARE(second.text(), first.text());
    QCOMPARE(second.editorFont(), first.editorFont());
    QVERIFY(second.isLocked());
}

QTEST_MAIN(tst_editorframe)
#include "tst_editorframe.moc"
