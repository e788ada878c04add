#pragma once

#include "navigator.h"

#include <QList>

namespace qm::desktop {

// A navigator for tests: records each address and answers as told.
class RecordingNavigator final : public Navigator
{
public:
    bool open(const QUrl &url) override;

    void setSucceeds(bool succeeds) { m_succeeds = succeeds; }
    const QList<QUrl> &opened() const { return m_opened; }

private:
    QList<QUrl> m_opened;
    bool m_succeeds = true;
};

} // namespace qm::desktop
