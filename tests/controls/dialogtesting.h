#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

// Drives one of the library's search dialogs (frmFindDialog, frmAttributeChangeDialog) by the
// objectNames of its controls.
template<class Dialog>
struct DialogDriver {
    template<class T = QWidget>
    static T *control(const char *name)
    {
        Dialog *dialog = Dialog::loaded();
        return dialog ? dialog->template findChild<T *>(QLatin1String(name)) : nullptr;
    }

    static void click(const char *name)
    {
        auto *button = control<QAbstractButton>(name);
        QVERIFY2(button && button->isEnabled(), name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    }

    static void setText(const char *name, const QString &text)
    {
        control<QLineEdit>(name)->setText(text);
    }

    static void setOnward(bool onward)
    {
        control<QComboBox>("cboDirection")->setCurrentIndex(onward ? 1 : 0);
    }

    // A closed dialog is unloaded (deleted) once deferred deletions run.
    static bool unloaded()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Dialog::loaded() == nullptr;
    }
};
