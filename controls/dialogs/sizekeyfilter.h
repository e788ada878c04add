#pragma once

#include <QObject>

namespace corvane {

// Lets only what makes a point size into a size box: digits, "." and backspace edit it; every
// other character key, Enter included, is swallowed. Keys that type nothing (arrows, Delete),
// the dialog's own keys (Tab, Escape) and editing commands with Ctrl (select all, paste) pass.
// Text an input method commits passes only when it consists of those characters.
class SizeKeyFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SizeKeyFilter)

public:
    explicit SizeKeyFilter(QObject *parent);
    ~SizeKeyFilter() override;

    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace corvane
