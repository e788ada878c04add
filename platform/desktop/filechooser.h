#pragma once

#include <QList>
#include <QQueue>
#include <QString>

#include <optional>

namespace qm::desktop {

// The open/save file dialogs and the colour dialog, behind one seam so that tests can answer
// them and read back what the user would have been asked.
class FileChooser
{
public:
    struct Request {
        QString title;
        QString filter;   // "テキスト (*.txt);;すべてのファイル (*.*)"
        QString fileName; // the folder or file the dialog starts at
    };

    virtual ~FileChooser() = default;
    // The file chosen, or nullopt when the user cancelled.
    virtual std::optional<QString> openFile(const Request &request) = 0;
    virtual std::optional<QString> saveFile(const Request &request) = 0;
};

class ColorChooser
{
public:
    virtual ~ColorChooser() = default;
    // The colour chosen (0xAARRGGBB), or nullopt when the user cancelled.
    virtual std::optional<quint32> chooseColor(quint32 initial, const QString &title) = 0;
};

// Answers from queues, in order; an empty queue answers "cancelled".
class ScriptedFileChooser final : public FileChooser, public ColorChooser
{
public:
    std::optional<QString> openFile(const Request &request) override;
    std::optional<QString> saveFile(const Request &request) override;
    std::optional<quint32> chooseColor(quint32 initial, const QString &title) override;

    void queueFile(std::optional<QString> answer) { m_files.enqueue(std::move(answer)); }
    void queueColor(std::optional<quint32> answer) { m_colors.enqueue(answer); }
    // Every request in order, with "open", "save" or "color" as its kind.
    struct Asked {
        QString kind;
        Request request;
    };
    const QList<Asked> &asked() const { return m_asked; }

private:
    std::optional<QString> nextFile(const QString &kind, const Request &request);

    QQueue<std::optional<QString>> m_files;
    QQueue<std::optional<quint32>> m_colors;
    QList<Asked> m_asked;
};

} // namespace qm::desktop
