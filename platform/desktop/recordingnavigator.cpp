#include "recordingnavigator.h"

namespace qm::desktop {

bool RecordingNavigator::open(const QUrl &url)
{
    m_opened.append(url);
    return m_succeeds;
}

} // namespace qm::desktop
