// Reading and writing RTF compared with Qt's HTML import (setHtml) and export (toHtml) of the
// same document, in one run: a rich-text body of about 1 MB of RTF loaded into a QTextDocument
// (what the rich-text editor's TextRTF does) and saved from it. The budget lines at the end give
// RTF CPU time / HTML CPU time, which must be at most 1: we are no slower than Qt's own rich-text
// format. They read "budget <name>: <ratio>x (at most 1x) ok|over", as the store benchmarks do.
//
//   bench_rtf [--doc_kb=1024] [benchmark options]
#include "platform/rtf/charformat.h"
#include "platform/rtf/rtf.h"

#include <QColor>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Fixture {
    QString rtf;
    QString html;
    QTextDocument document;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

QTextCharFormat runFormat(int i)
{
    static const QStringList families = {QStringLiteral("ＭＳ 明朝"), QStringLiteral("ＭＳ Ｐゴシック"),
                                         QStringLiteral("Arial")};
    static const QColor colors[] = {QColor(Qt::black), QColor(200, 0, 0), QColor(0, 0, 160)};
    QTextCharFormat f;
    f.setFontFamilies({families[i % 3]});
    f.setFontPointSize(9 + i % 4 * 1.5);
    f.setFontWeight(i % 5 == 0 ? QFont::Bold : QFont::Normal);
    f.setFontItalic(i % 7 == 0);
    f.setFontUnderline(i % 11 == 0);
    f.setForeground(colors[i % 3]);
    if (i % 13 == 0)
        qm::rtf::setCharacterOffset(f, 80);
    return f;
}

// A deterministic dictionary-like body: headings and paragraphs of Japanese and Latin text in
// mixed runs, until its RTF is about the requested size.
void build(QTextDocument &doc, qsizetype targetBytes)
{
    static const QString words[] = {
        QStringLiteral("辞書"), QStringLiteral("見出し語の説明を"), QStringLiteral("keyword "),
        QStringLiteral("本文には"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("例文 (example) "),
        QStringLiteral("①②③"), QStringLiteral("表現する。"), QStringLiteral("Lorem ipsum dolor "),
        QStringLiteral("漢字かな交じり文"), QStringLiteral("と"), QStringLiteral("123 ")};
    doc.setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
    QTextCursor c(&doc);
    c.beginEditBlock();
    int run = 0;
    for (int paragraph = 0;; ++paragraph) {
        QTextBlockFormat block;
        block.setAlignment(paragraph % 9 == 0 ? Qt::AlignHCenter : paragraph % 17 == 0 ? Qt::AlignRight : Qt::AlignLeft);
        if (paragraph > 0)
            c.insertBlock(block);
        else
            c.setBlockFormat(block);
        for (int k = 0; k < 12; ++k, ++run) {
            QString text;
            for (int w = 0; w < 1 + run % 4; ++w)
                text += words[(run * 7 + w * 3) % 12];
            c.insertText(text, runFormat(run));
        }
        if (paragraph % 200 == 199 && qm::rtf::toRtfBytes(doc).size() >= targetBytes)
            break;
        if (targetBytes < 200000 && paragraph % 20 == 19 && qm::rtf::toRtfBytes(doc).size() >= targetBytes)
            break;
    }
    c.endEditBlock();
}

void readRtf(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        QTextDocument doc;
        qm::rtf::setRtf(doc, f.rtf);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
}

void readHtml(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        QTextDocument doc;
        doc.setHtml(f.html);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * f.html.size());
}

void writeRtf(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        const QString out = qm::rtf::toRtf(f.document);
        benchmark::DoNotOptimize(out.size());
    }
}

void writeHtml(benchmark::State &state)
{
    const Fixture &f = fixture();
    for (auto _ : state) {
        const QString out = f.document.toHtml();
        benchmark::DoNotOptimize(out.size());
    }
}

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_seconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }

    // Prints the budget line of one RTF / HTML ratio; a benchmark that did not run counts as over.
    void printBudget(const char *label, const std::string &rtf, const std::string &html) const
    {
        const auto r = m_seconds.find(rtf);
        const auto h = m_seconds.find(html);
        if (r == m_seconds.end() || h == m_seconds.end() || h->second <= 0) {
            std::printf("budget %s: not measured (at most 1x) over\n", label);
            return;
        }
        const double ratio = r->second / h->second;
        std::printf("budget %s: %.2fx (at most 1x) %s\n", label, ratio, ratio <= 1 ? "ok" : "over");
    }

private:
    std::map<std::string, double> m_seconds;
};

qsizetype takeSizeOption(int &argc, char **argv)
{
    qsizetype kb = 1024;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--doc_kb=", 9) == 0)
            kb = std::atol(argv[i] + 9);
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return qMax<qsizetype>(1, kb) * 1024;
}

} // namespace

BENCHMARK(readRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(readHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(writeRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(writeHtml)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    const qsizetype target = takeSizeOption(argc, argv);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture &f = fixture();
    build(f.document, target);
    f.rtf = qm::rtf::toRtf(f.document);
    f.html = f.document.toHtml();
    std::printf("document: %lld characters, RTF %lld bytes, HTML %lld bytes\n",
                static_cast<long long>(f.document.characterCount()), static_cast<long long>(f.rtf.size()),
                static_cast<long long>(f.html.size()));

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    // The verdict is in the budget lines (bench/run counts them); the exit status only reports
    // a run that failed, so the smoke test does not depend on timing.
    reporter.printBudget("RTF read / Qt HTML import of the same text", "readRtf", "readHtml");
    reporter.printBudget("RTF write / Qt HTML export of the same text", "writeRtf", "writeHtml");
    benchmark::Shutdown();
    return 0;
}
