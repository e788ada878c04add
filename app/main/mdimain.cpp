#include "mdimain.h"

#include "app/store/databasemodule.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QStatusBar>

namespace qm::app {

mdiMain::mdiMain(store::DatabaseModule &database, desktop::Prompter &prompter, QWidget *parent)
    : QMainWindow(parent)
    , m_database(database)
    , m_prompter(prompter)
    , m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("mdiMain"));
    setWindowTitle(QStringLiteral("Quillmere"));
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    statusBar()->setObjectName(QStringLiteral("sbStatusBar"));
    resize(800, 600);
    load();
}

mdiMain::~mdiMain() = default;

void mdiMain::load()
{
    m_database.LoadDictionarySets();
    m_database.OpenDictionarySet();
}

void mdiMain::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_database.SaveDictionarySets();
        m_database.CloseDictionarySet();
        m_closed = true;
    }
    event->accept();
}

} // namespace qm::app
