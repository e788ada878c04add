#pragma once

#include <QMainWindow>

#include <memory>

class QMdiArea;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// The program's frame window. At load it reads the dictionary sets and opens the current set;
// at close it writes the sets back and closes the set.
class mdiMain final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiMain)

public:
    mdiMain(store::DatabaseModule &database, desktop::Prompter &prompter, QWidget *parent = nullptr);
    ~mdiMain() override;

    QMdiArea *mdiArea() const { return m_mdiArea; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void load();

    store::DatabaseModule &m_database;
    desktop::Prompter &m_prompter;
    QMdiArea *m_mdiArea = nullptr;
    bool m_closed = false;
};

} // namespace qm::app
