#pragma once

#include "prompter.h"

#include <QPointer>
#include <QWidget>

namespace qm::desktop {

// The real prompter: a modal QMessageBox over the message's owner window, else over the
// program's active window, or over the given parent when none is active.
class MessageBoxPrompter final : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget *parent = nullptr, QString defaultTitle = Prompter::defaultTitle());
    Answer ask(const Message &message) override;
    std::optional<QString> askPassword(const QString &text, const QString &title = {}) override;
    void setParent(QWidget *parent) { m_parent = parent; }

private:
    QWidget *boxParent(const QObject *owner) const;

    QPointer<QWidget> m_parent;
    QString m_defaultTitle;
};

} // namespace qm::desktop
