// qm-bench-body-memory: registers one large plain-text body through the new-entry window, as
// the user does, and prints how much memory the registration took on top of what the window
// already held, as a multiple of the body's size. Then it offers a body just over the size
// limit and prints what refusing it took the same way.
//
//   qm-bench-body-memory SCRATCHFOLDER [BODY-MB]     (BODY-MB: 64 by default)
//
// Peak resident sizes come from the kernel ("VmHWM", reset between the steps through
// /proc/self/clear_refs), so each step is measured in the one run.

#include "lookups.h"

#include "app/common/storemessages.h"
#include "app/entry/frmnewdata.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/entry.h"
#include "app/store/settings.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/scriptedprompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>

#include <cstdio>
#include <optional>

namespace {

// How many times its size a registration may add to the window's memory: the body's text as
// taken from the editor (two bytes a character), its encoded bytes and the engine's record.
constexpr double RegisterBudget = 4.0;
// Refusing an over-large body takes the text from the editor and counts its bytes, no more.
constexpr double RefuseBudget = 3.0;

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Starts a new peak at the present resident size; false where the kernel cannot.
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Lines of Latin text with a Japanese word in each, `bytes` long in CP932, CR LF line ends.
QString plainBody(qint64 bytes)
{
    const QString line = QStringLiteral("Registration of a large body keeps its memory near the body size 辞書\r\n");
    const qint64 lineBytes = line.size() + 2; // the two kanji take two bytes each
    QString text;
    text.reserve(qsizetype(bytes));
    qint64 n = 0;
    for (; n + lineBytes <= bytes; n += lineBytes)
        text.append(line);
    text.append(QString(qsizetype(bytes - n), QLatin1Char('x')));
    return text;
}

struct Step {
    double extraTimesBody = 0;
    double peakMB = 0;
    QStringList messages;
};

// Fills the window with one entry of this body and registers it, measuring the peak.
std::optional<Step> registerBody(qm::app::frmNewData &window, qm::desktop::ScriptedPrompter &prompter, qint64 bytes)
{
    window.lstIndex->addItem(QStringLiteral("大きな本文"));
    window.txtHeading->setText(QStringLiteral("大きな本文"));
    window.TextBox->setProperty("Text", plainBody(bytes));
    prompter.clear();
    const qint64 before = residentKiB();
    if (!resetPeak())
        return std::nullopt;
    window.RegisterEntry();
    const qint64 peak = qm::bench::peakResidentKiB();
    Step step;
    step.extraTimesBody = double(peak - before) * 1024 / double(bytes);
    step.peakMB = double(peak) / 1024;
    step.messages = prompter.texts();
    window.ClearEditor();
    return step;
}

void printBudget(const char *name, const std::optional<Step> &step, double limit)
{
    const bool ok = step && step->extraTimesBody <= limit;
    std::printf("budget %s: %s (at most %gx) %s\n", name,
                step ? qPrintable(QString::number(step->extraTimesBody, 'f', 2) + QLatin1Char('x')) : "not measured",
                limit, ok ? "ok" : "over");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: qm-bench-body-memory SCRATCHFOLDER [BODY-MB]\n");
        return 2;
    }
    const qint64 bodyBytes = qint64(args.size() > 2 ? args[2].toDouble() : 64.0) * 1024 * 1024;
    QStandardPaths::setTestModeEnabled(true);
    const QString folder = QDir(args[1]).filePath(QStringLiteral("body-memory"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    qm::desktop::ProgramFolder::setPath(folder);

    qm::desktop::ScriptedPrompter prompter;
    qm::store::DatabaseModule database(qm::app::storeHost(prompter), folder);
    database.LoadDictionarySets();
    database.OpenDictionarySet();
    if (!database.dictionary(0)) {
        std::fprintf(stderr, "qm-bench-body-memory: the dictionary did not open\n");
        return 1;
    }
    qm::store::Settings settings;
    qm::app::frmNewData window(database, settings, prompter);

    const std::optional<Step> registered = registerBody(window, prompter, bodyBytes);
    const std::optional<Step> refused = registerBody(window, prompter, qm::store::MaxBodyBytes + (1 << 20));
    if (!registered || !refused) {
        std::fprintf(stderr, "qm-bench-body-memory: the kernel does not reset the peak resident size\n");
        return 1;
    }
    if (!registered->messages.isEmpty() || refused->messages.size() != 1) {
        std::fprintf(stderr, "qm-bench-body-memory: unexpected messages: %s | %s\n",
                     qPrintable(registered->messages.join(QLatin1Char(' '))),
                     qPrintable(refused->messages.join(QLatin1Char(' '))));
        return 1;
    }
    std::printf("body of %.1f MB registered: process peak %.1f MB\n", double(bodyBytes) / (1 << 20), registered->peakMB);
    std::printf("body of %.1f MB refused: process peak %.1f MB\n",
                double(qm::store::MaxBodyBytes + (1 << 20)) / (1 << 20), refused->peakMB);
    printBudget("memory added by registering a large body, times its size", registered, RegisterBudget);
    printBudget("memory added by refusing an over-large body, times its size", refused, RefuseBudget);
    window.close();
    return 0;
}
