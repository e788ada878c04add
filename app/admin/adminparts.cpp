#include "adminparts.h"

#include "app/common/storemessages.h"
#include "platform/desktop/accessiblename.h"
#include "platform/sqlite/error.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace qm::app::admin {

using desktop::Twips;

QLabel *label(QWidget *parent, const QString &name, const QString &text, QWidget *buddy,
              double left, double top, double width)
{
    auto *l = place(new QLabel(text, parent), name, left, top, width, 255);
    l->setBuddy(buddy);
    desktop::nameBuddy(l);
    return l;
}

QPlainTextEdit *commentBox(QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

void setLocked(QWidget *box, bool locked)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->setReadOnly(locked);
    else if (auto *text = qobject_cast<QPlainTextEdit *>(box))
        text->setReadOnly(locked);
    QPalette palette = box->parentWidget() ? box->parentWidget()->palette() : QApplication::palette();
    if (locked)
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
}

QWidget *fixedClient(QDialog *dialog, double width, double height)
{
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *client = new QWidget(dialog);
    client->setFixedSize(Twips::toPixels(width), Twips::toPixels(height));
    layout->addWidget(client);
    return client;
}

QString failureReason(const sqlite::Error &error)
{
    return app::failureReason(error);
}

} // namespace qm::app::admin
