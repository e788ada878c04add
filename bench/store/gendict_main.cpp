// qm-gendict: writes a synthetic dictionary set for the benchmarks and for trying the program
// on a large set.

#include "setgenerator.h"

#include "app/store/dictionary/bodytext.h"
#include "platform/rtf/rtf.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>

namespace {

using qm::bench::GeneratorOptions;

// Shows how far a long run is: one line rewritten in place on a terminal, a line every tenth
// of a dictionary otherwise.
class ProgressPrinter final
{
public:
    ProgressPrinter()
        : m_terminal(isatty(STDERR_FILENO) != 0)
    {
        m_clock.start();
    }

    void operator()(const qm::bench::GeneratorProgress &p)
    {
        const qint64 step = qMax<qint64>(1, p.entriesPerDictionary / 10);
        const bool last = p.entriesDone == p.entriesPerDictionary;
        if (!m_terminal && !last && p.entriesDone / step == m_lastStep)
            return;
        m_lastStep = last ? -1 : p.entriesDone / step;
        std::fprintf(stderr, "%sdictionary %d/%d: %lld/%lld entries, %.1f s%s", m_terminal ? "\r" : "",
                     p.dictionary + 1, p.dictionaries, static_cast<long long>(p.entriesDone),
                     static_cast<long long>(p.entriesPerDictionary), double(m_clock.elapsed()) / 1000.0,
                     m_terminal && !last ? "" : "\n");
        std::fflush(stderr);
    }

private:
    bool m_terminal;
    qint64 m_lastStep = -1;
    QElapsedTimer m_clock;
};

int intValue(const QCommandLineParser &parser, const QString &name, bool &ok)
{
    bool valid = false;
    const int value = parser.value(name).toInt(&valid);
    if (!valid) {
        std::fprintf(stderr, "qm-gendict: --%s wants a whole number\n", qPrintable(name));
        ok = false;
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    // Rich-text bodies are laid out by Qt's text engine, which wants a GUI application; no
    // window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("qm-gendict"));
    GeneratorOptions defaults;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a synthetic dictionary set (DicSets.ini and the dictionaries) into a folder. "
        "The same options always give the same rows."));
    parser.addHelpOption();
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("Folder to write the set into."), QStringLiteral("folder")},
        {{QStringLiteral("d"), QStringLiteral("dictionaries")}, QStringLiteral("Dictionaries in the set, 1 to 10."), QStringLiteral("n"), QString::number(defaults.dictionaries)},
        {{QStringLiteral("e"), QStringLiteral("entries")}, QStringLiteral("Entries per dictionary."), QStringLiteral("n"), QString::number(defaults.entries)},
        {{QStringLiteral("k"), QStringLiteral("keywords")}, QStringLiteral("Keywords per entry."), QStringLiteral("n"), QString::number(defaults.keywordsPerEntry)},
        {{QStringLiteral("s"), QStringLiteral("seed")}, QStringLiteral("Seed of the generator."), QStringLiteral("n"), QString::number(defaults.seed)},
        {QStringLiteral("bodies"), QStringLiteral("Mix of body types, e.g. text=40,rtf=25,url=10,html=15,ole=10."), QStringLiteral("mix"), defaults.bodies.toString()},
        {QStringLiteral("body-size"), QStringLiteral("Average body size in bytes."), QStringLiteral("bytes"), QString::number(defaults.bodyBytes)},
        {QStringLiteral("batch"), QStringLiteral("Entries written per transaction."), QStringLiteral("n"), QString::number(defaults.batchEntries)},
        {QStringLiteral("signature"), QStringLiteral("Print the name of these parameters and exit.")},
        {{QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("No progress output.")},
    });
    parser.process(app);

    GeneratorOptions options;
    bool ok = true;
    options.folder = parser.value(QStringLiteral("output"));
    options.dictionaries = intValue(parser, QStringLiteral("dictionaries"), ok);
    options.entries = intValue(parser, QStringLiteral("entries"), ok);
    options.keywordsPerEntry = intValue(parser, QStringLiteral("keywords"), ok);
    options.bodyBytes = intValue(parser, QStringLiteral("body-size"), ok);
    options.batchEntries = intValue(parser, QStringLiteral("batch"), ok);
    bool seedOk = false;
    options.seed = parser.value(QStringLiteral("seed")).toULongLong(&seedOk);
    if (!seedOk) {
        std::fprintf(stderr, "qm-gendict: --seed wants a whole number\n");
        ok = false;
    }
    const std::optional<qm::bench::BodyMix> mix = qm::bench::BodyMix::parse(parser.value(QStringLiteral("bodies")));
    if (!mix) {
        std::fprintf(stderr, "qm-gendict: --bodies wants kind=weight pairs of text, rtf, url, html, ole\n");
        ok = false;
    }
    if (!ok)
        return 2;
    options.bodies = *mix;
    if (parser.isSet(QStringLiteral("signature"))) {
        std::printf("%s\n", qPrintable(options.signature()));
        return 0;
    }

    qm::bench::SetGenerator generator(options);
    ProgressPrinter progress;
    if (!parser.isSet(QStringLiteral("quiet")))
        generator.setProgressHandler([&](const qm::bench::GeneratorProgress &p) { progress(p); });
    try {
        generator.run();
    } catch (const qm::bench::GeneratorError &e) {
        std::fprintf(stderr, "qm-gendict: %s\n", e.what());
        return 1;
    }
    return 0;
}
