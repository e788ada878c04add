#include "platform/desktop/messageboxprompter.h"
#include "platform/desktop/dialogfilechooser.h"
#include "platform/desktop/qttranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using qm::desktop::MessageBoxPrompter;
using qm::desktop::Prompter;

class tst_messageboxprompter final : public QObject
{
    Q_OBJECT

private slots:
    void boxStandsOverTheActiveWindow();
    void buttonsAndTitleAreJapaneseAndWhole();
    void qtDialogsSpeakJapanese();
    void fileDialogSpeaksJapanese();
    void passwordIsTypedHidden();

private:
    // Shows a message and returns the window the box stood over (answering it with Yes).
    QWidget *parentOfTheBox(Prompter &prompter, const QObject *owner = nullptr);
};

// A password never shows as typed; a location's "&" shows as written, not as a shortcut mark;
// cancelling gives nothing.
void tst_messageboxprompter::passwordIsTypedHidden()
{
    MessageBoxPrompter prompter;
    const QString text = QStringLiteral("postgresql:///qm?host=/run&port=5432&dictionary=x");
    for (const bool accept : {true, false}) {
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->textEchoMode(), QLineEdit::Password);
            QVERIFY(dialog->findChild<QLabel *>()->text().contains(QStringLiteral("/run&&port")));
            dialog->setTextValue(QStringLiteral("s3cret"));
            accept ? dialog->accept() : dialog->reject();
        });
        const std::optional<QString> typed = prompter.askPassword(text);
        QCOMPARE(typed, accept ? std::optional<QString>(QStringLiteral("s3cret")) : std::nullopt);
    }
}

QWidget *tst_messageboxprompter::parentOfTheBox(Prompter &prompter, const QObject *owner)
{
    QWidget *parent = nullptr;
    QString title;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        parent = box->parentWidget();
        title = box->windowTitle();
        box->button(QMessageBox::Yes)->click();
    });
    Prompter::Message message{QStringLiteral("続けますか"), {}, Prompter::Buttons::YesNo, Prompter::Answer::No};
    message.owner = owner;
    const Prompter::Answer answer = prompter.ask(message);
    [&] {
        QCOMPARE(answer, Prompter::Answer::Yes);
        QCOMPARE(title, QStringLiteral("Quillmere"));
    }();
    return parent;
}

void tst_messageboxprompter::boxStandsOverTheActiveWindow()
{
    QWidget main;
    QWidget other;
    MessageBoxPrompter prompter(&main);
    QCOMPARE(parentOfTheBox(prompter), &main); // nothing active: the given parent

    main.show();
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(parentOfTheBox(prompter), &other);

    // A message about a window stands over that window, whichever is active (or none, as
    // between two boxes); a window's own prompter names it on every message.
    QCOMPARE(parentOfTheBox(prompter, &main), &main);
    qm::desktop::OwnedPrompter owned(prompter, main);
    QCOMPARE(parentOfTheBox(owned), &main);
    // A hidden owner cannot hold the box.
    main.hide();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(parentOfTheBox(owned), &other);
}

void tst_messageboxprompter::buttonsAndTitleAreJapaneseAndWhole()
{
    MessageBoxPrompter prompter;
    QStringList buttons;
    int boxWidth = 0;
    int titleWidth = 0;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        boxWidth = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
        box->button(QMessageBox::Cancel)->click();
    });
    // A one-character text: the box would be narrower than its own title.
    prompter.ask({QStringLiteral("?"), QStringLiteral("Quillmere - 長めの題名です"), Prompter::Buttons::YesNoCancel,
                  Prompter::Answer::Yes});
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)"), QStringLiteral("キャンセル")}));
    QVERIFY2(boxWidth > titleWidth + 100, qPrintable(QStringLiteral("box %1, title %2").arg(boxWidth).arg(titleWidth)));
}

void tst_messageboxprompter::qtDialogsSpeakJapanese()
{
    const auto cancelText = [] {
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        return buttons.button(QDialogButtonBox::Cancel)->text();
    };
    QVERIFY(qm::desktop::installQtJapanese(*qApp));
    QCOMPARE(cancelText(), QStringLiteral("キャンセル"));
    QColorDialog colours;
    QVERIFY2(!colours.windowTitle().contains(QLatin1String("Color")), qPrintable(colours.windowTitle()));
}

// The file list names a folder's kind in Japanese and shows its date in Japanese, whole.
void tst_messageboxprompter::fileDialogSpeaksJapanese()
{
    QVERIFY(qm::desktop::installQtJapanese(*qApp));
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QFileDialog dialog(nullptr, QStringLiteral("開く"), dir.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    qm::desktop::fitForJapanese(dialog);
    dialog.show();
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    QVERIFY(view);
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
    const QModelIndex row = view->model()->index(0, 0, view->rootIndex());
    QCOMPARE(row.siblingAtColumn(2).data().toString(), QStringLiteral("フォルダ"));
    const QString date = row.siblingAtColumn(3).data().toString();
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d$)")).match(date).hasMatch(), qPrintable(date));
    QVERIFY(view->header()->sectionSize(3) > view->fontMetrics().horizontalAdvance(date));
}

QTEST_MAIN(tst_messageboxprompter)
#include "tst_messageboxprompter.moc"
