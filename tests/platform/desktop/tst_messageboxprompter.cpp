#include "platform/desktop/messageboxprompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using qm::desktop::MessageBoxPrompter;
using qm::desktop::Prompter;

class tst_messageboxprompter final : public QObject
{
    Q_OBJECT

private slots:
    void boxStandsOverTheActiveWindow();

private:
    // Shows a message and returns the window the box stood over (answering it with Yes).
    QWidget *parentOfTheBox(MessageBoxPrompter &prompter);
};

QWidget *tst_messageboxprompter::parentOfTheBox(MessageBoxPrompter &prompter)
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
    const Prompter::Answer answer = prompter.ask({QStringLiteral("続けますか"), {}, Prompter::Buttons::YesNo, Prompter::Answer::No});
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
}

QTEST_MAIN(tst_messageboxprompter)
#include "tst_messageboxprompter.moc"
