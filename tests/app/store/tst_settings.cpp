#include "app/store/settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace qm::store;

namespace {

QSettings rawStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmere"),
                     QStringLiteral("Quillmere"));
}

void writeRaw(const QString &key, const QVariant &value)
{
    QSettings store = rawStore();
    store.setValue(key, value);
    store.sync();
}

} // namespace

class tst_settings final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstStartGivesEveryDefault();
    void valuesAreStoredAsDecimalTextUnderQuillmere();
    void unparseableValueReadsAsDefault_data();
    void unparseableValueReadsAsDefault();
    void optionsDialogWritesItsOwnKeysOnly();
    void windowSectionsThroughGenericKeys();
};

void tst_settings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_settings::init()
{
    QSettings store = rawStore();
    store.clear();
    store.sync();
}

void tst_settings::firstStartGivesEveryDefault()
{
    const Settings settings;
    QCOMPARE(settings.formLeft(), 1000.0f);
    QCOMPARE(settings.formTop(), 1000.0f);
    QCOMPARE(settings.formWidth(), 8000.0f);
    QCOMPARE(settings.formHeight(), 6000.0f);
    QCOMPARE(settings.windowState(), qint16(0));

    const SharedOptions options = settings.readSharedOptions();
    QCOMPARE(options.BrowserInMdi, quint8(0));
    QCOMPARE(options.ViewerWindowState, quint8(0));
    for (int i = 0; i < EditorKindCount; ++i) {
        QCOMPARE(options.EditorFontNames.at(i), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(options.EditorFontSizes.at(i), 10.0f);
    }
    // Reading wrote nothing.
    QVERIFY(rawStore().allKeys().isEmpty());
}

void tst_settings::valuesAreStoredAsDecimalTextUnderQuillmere()
{
    {
        Settings settings;
        settings.setFormLeft(1500);
        settings.setFormWidth(10.1f);
        settings.setWindowState(2);
        settings.setMdiWindowState(1);
        settings.setFontName(EditorKind::Html, QStringLiteral("Noto Sans CJK JP, 等幅"));
        settings.setFontSize(EditorKind::RichText, 10.5f);
        settings.sync();
    }
    const QSettings raw = rawStore();
    QCOMPARE(raw.value(QStringLiteral("MainWindow/FormLeft")).toString(), QStringLiteral("1500"));
    QCOMPARE(raw.value(QStringLiteral("MainWindow/FormWidth")).toString(), QStringLiteral("10.1"));
    QCOMPARE(raw.value(QStringLiteral("RichText/FontSize")).toString(), QStringLiteral("10.5"));

    const Settings reread;
    QCOMPARE(reread.formLeft(), 1500.0f);
    QCOMPARE(reread.formWidth(), 10.1f);
    QCOMPARE(reread.windowState(), qint16(2));
    QCOMPARE(reread.readSharedOptions().ViewerWindowState, quint8(1));
    QCOMPARE(reread.fontName(EditorKind::Html), QStringLiteral("Noto Sans CJK JP, 等幅"));
    QCOMPARE(reread.fontSize(EditorKind::RichText), 10.5f);
}

void tst_settings::unparseableValueReadsAsDefault_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("text for a number") << "MainWindow/FormLeft" << QVariant(QStringLiteral("left"));
    QTest::newRow("empty number") << "MainWindow/FormTop" << QVariant(QString());
    QTest::newRow("float overflow") << "MainWindow/FormWidth" << QVariant(QStringLiteral("1e40"));
    QTest::newRow("not a number") << "MainWindow/FormHeight" << QVariant(QStringLiteral("nan"));
    QTest::newRow("16-bit overflow") << "MainWindow/WindowState" << QVariant(QStringLiteral("70000"));
    QTest::newRow("fraction for an integer") << "MainWindow/WindowState" << QVariant(QStringLiteral("1.5"));
    QTest::newRow("byte overflow") << "MainWindow/HTMLMode" << QVariant(QStringLiteral("256"));
    QTest::newRow("negative byte") << "MainWindow/MDIWindowState" << QVariant(QStringLiteral("-1"));
    QTest::newRow("list for a number") << "Text/FontSize" << QVariant(QStringList{QStringLiteral("1"), QStringLiteral("2")});
}

void tst_settings::unparseableValueReadsAsDefault()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    writeRaw(key, stored);

    const Settings settings;
    const SharedOptions options = settings.readSharedOptions();
    QCOMPARE(settings.formLeft(), 1000.0f);
    QCOMPARE(settings.formTop(), 1000.0f);
    QCOMPARE(settings.formWidth(), 8000.0f);
    QCOMPARE(settings.formHeight(), 6000.0f);
    QCOMPARE(settings.windowState(), qint16(0));
    QCOMPARE(options.BrowserInMdi, quint8(0));
    QCOMPARE(options.ViewerWindowState, quint8(0));
    QCOMPARE(options.EditorFontSizes.at(0), 10.0f);
}

void tst_settings::optionsDialogWritesItsOwnKeysOnly()
{
    Settings settings;
    settings.setMdiWindowState(2);
    SharedOptions options = settings.readSharedOptions();
    options.BrowserInMdi = 1;
    options.ViewerWindowState = 0;
    options.EditorFontNames = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    options.EditorFontSizes = {9, 12, 14.5f};
    settings.writeOptions(options);

    const SharedOptions reread = Settings().readSharedOptions();
    QCOMPARE(reread.BrowserInMdi, quint8(1));
    QCOMPARE(reread.ViewerWindowState, quint8(2)); // written at exit, not by the dialog
    QCOMPARE(reread.EditorFontNames, options.EditorFontNames);
    QCOMPARE(reread.EditorFontSizes, options.EditorFontSizes);
}

void tst_settings::windowSectionsThroughGenericKeys()
{
    Settings settings;
    QCOMPARE(settings.value(keys::EditWindow::Separator), 2000.0f);
    QCOMPARE(settings.value(keys::SearchIndexList::FormWidth), 5500.0f);
    QCOMPARE(settings.value(keys::DataGrid::Columns1), 720.0f);

    settings.setValue(keys::DataGrid::Columns1, 900.0f);
    constexpr SettingKey<qint32> counter{u"DataGrid", u"Counter", 7};
    QCOMPARE(settings.value(counter), 7);
    settings.setValue(counter, -123456);
    settings.sync();

    QCOMPARE(rawStore().value(QStringLiteral("DataGrid/Columns1")).toString(), QStringLiteral("900"));
    QCOMPARE(Settings().value(counter), -123456);
}

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
