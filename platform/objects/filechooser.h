#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace qm::objects {

// Lets the user pick an existing file; a seam so that tests can answer instead of a dialog.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    // The chosen file, or nullopt when the user cancelled.
    virtual std::optional<QString> chooseExistingFile(QWidget *parent, const QString &title) = 0;
};

// The desktop's file open dialog, accepting existing files only.
class DialogFileChooser final : public FileChooser
{
public:
    std::optional<QString> chooseExistingFile(QWidget *parent, const QString &title) override;
};

// A chooser for tests: answers with the next queued path (nullopt = cancel) and records titles.
class ScriptedFileChooser final : public FileChooser
{
public:
    std::optional<QString> chooseExistingFile(QWidget *parent, const QString &title) override;
    void queueAnswer(std::optional<QString> answer) { m_answers.push_back(std::move(answer)); }
    const QStringList &titles() const { return m_titles; }

private:
    QList<std::optional<QString>> m_answers;
    QStringList m_titles;
};

} // namespace qm::objects
