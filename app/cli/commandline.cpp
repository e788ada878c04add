#include "app/cli/commandline.h"

#include "app/cli/backupcommand.h"
#include "app/cli/displaycheck.h"
#include "app/cli/exchangecommand.h"
#include "app/cli/startarguments.h"

#include "platform/desktop/qttranslation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextStream>

#include <initializer_list>

namespace qm::app {
namespace {

using Mode = CommandLine::Mode;

// As many rows as the keyword box's result list shows.
constexpr int DefaultLimit = 1000;

// The options that choose what the program does; a command line names at most one.
const QStringList ModeOptions{QStringLiteral("search"), QStringLiteral("new-entry"), QStringLiteral("lookup"),
                              QStringLiteral("export"), QStringLiteral("import"),    QStringLiteral("backup")};

struct Companion {
    const char *option;
    const char *mode;
};
// Options that only go with one mode.
constexpr Companion Companions[] = {
    {"set", "lookup"},          {"limit", "lookup"},   {"json", "lookup"},
    {"columns", "import"},      {"keyword-separator", "import"},
    {"header", "import"},       {"encoding", "import"}, {"duplicates", "import"},
    {"clipboard", "search"},
};
// The word-list options with a value, in the order their values are checked.
constexpr const char *WordListOptions[] = {"columns", "keyword-separator", "encoding", "duplicates"};

CommandLine badUsage(const QString &problem)
{
    CommandLine line;
    line.mode = Mode::BadUsage;
    line.problem = problem;
    return line;
}

QString dashed(const QString &name)
{
    return QStringLiteral("--") + name;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QString value = QStringLiteral("value");
    for (const char *name : {"search", "lookup", "export", "import", "set", "limit", "columns", "keyword-separator",
                             "encoding", "duplicates"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, value));
    for (const char *name : {"new-entry", "json", "header", "backup", "clipboard"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    // Options the windows' application object reads itself (`-platform offscreen`, `-display :1`):
    // accepted here and left in the command line for it.
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "geometry",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "style", "stylesheet", "session", "name"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, value));
    for (const char *name : {"reverse", "nograb", "dograb", "sync", "widgetcount"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
}

// The argument as typed that gave the option `name`, for a message.
QString typedOption(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments) {
        QString bare = argument.section(QLatin1Char('='), 0, 0);
        if (bare.startsWith(QLatin1Char('-')) && QStringView(bare).mid(bare.startsWith(QStringLiteral("--")) ? 2 : 1) == name)
            return bare;
    }
    return dashed(name);
}

// Why the parser gave up: an option it does not know, or one whose value is missing (only the
// last argument can lack its value, since the next argument always is the value).
QString parseProblem(const QCommandLineParser &parser, const QStringList &arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("%1 というオプションはありません。").arg(typedOption(arguments, unknown.first()));
    const QString last = arguments.isEmpty() ? QString() : arguments.last().section(QLatin1Char('='), 0, 0);
    return QStringLiteral("%1 のあとに値を指定してください。").arg(last);
}

// A problem shared by every mode: an option given twice, an option of another mode, more than
// one mode.
std::optional<QString> structureProblem(const QCommandLineParser &parser, const QStringList &modes)
{
    QStringList seen;
    for (const QString &name : parser.optionNames()) {
        if (seen.contains(name))
            return QStringLiteral("%1 が2回指定されています。").arg(dashed(name));
        seen.append(name);
    }
    if (modes.size() > 1)
        return QStringLiteral("%1 と %2 は一緒に使えません。").arg(dashed(modes.at(0)), dashed(modes.at(1)));
    for (const Companion &companion : Companions) {
        const QString option = QString::fromLatin1(companion.option);
        const QString mode = QString::fromLatin1(companion.mode);
        if (parser.isSet(option) && !modes.contains(mode))
            return QStringLiteral("%1 は %2 と一緒にだけ使えます。").arg(dashed(option), dashed(mode));
    }
    return std::nullopt;
}

// The words besides the options' values: one word to look up without a mode, the second file
// of --export and --import, none otherwise.
std::optional<QString> positionalProblem(const QString &mode, const QStringList &words)
{
    if (mode.isEmpty() && words.size() > 1)
        return QStringLiteral("検索する語は1つだけ指定してください（空白を含む語は \"\" で囲みます）: %1")
            .arg(words.join(QLatin1Char(' ')));
    if (mode.isEmpty())
        return std::nullopt;
    const qsizetype wanted = mode == QLatin1String("export") || mode == QLatin1String("import") ? 1 : 0;
    if (words.size() > wanted)
        return QStringLiteral("%1 には使えない引数です: %2").arg(dashed(mode), words.at(wanted));
    if (words.size() < wanted)
        return mode == QLatin1String("export") ? QStringLiteral("--export には辞書ファイルと出力ファイルを指定してください。")
                                               : QStringLiteral("--import には入力ファイルと辞書ファイルを指定してください。");
    return std::nullopt;
}

CommandLine searchLine(const QString &typed, bool fromClipboard)
{
    const std::optional<QString> word = searchWordOf(typed);
    if (!word && fromClipboard) {
        CommandLine line;
        line.mode = Mode::EmptyClipboard;
        return line;
    }
    if (!word)
        return badUsage(QStringLiteral("--search のあとに検索する語を指定してください（空の語は検索できません）。"));
    CommandLine line;
    line.start = StartRequest::search(*word);
    return line;
}

CommandLine lookupLine(const QCommandLineParser &parser)
{
    CommandLine line;
    line.mode = Mode::Lookup;
    line.lookup.pattern = parser.value(QStringLiteral("lookup"));
    line.lookup.setName = parser.value(QStringLiteral("set"));
    line.lookup.json = parser.isSet(QStringLiteral("json"));
    line.lookup.limit = DefaultLimit;
    if (parser.isSet(QStringLiteral("limit"))) {
        const QString limit = parser.value(QStringLiteral("limit"));
        bool ok = false;
        line.lookup.limit = limit.toInt(&ok);
        if (!ok || line.lookup.limit <= 0)
            return badUsage(QStringLiteral("--limit には 1 以上の整数を指定してください: %1").arg(limit));
    }
    if (parser.isSet(QStringLiteral("set")) && line.lookup.setName.isEmpty())
        return badUsage(QStringLiteral("--set のあとに辞書セット名を指定してください。"));
    if (const std::optional<QString> problem = lookupPatternProblem(line.lookup.pattern))
        return badUsage(*problem);
    return line;
}

CommandLine exchangeUsage(const QString &problem)
{
    CommandLine line = badUsage(problem);
    line.usage = CommandLine::Usage::Exchange;
    return line;
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

// The value of one word-list option into `options`; a message when it cannot be read.
std::optional<QString> readWordListOption(const QString &name, const QString &value,
                                          exchange::wordlist::Options &options)
{
    using namespace exchange::wordlist;
    if (name == QLatin1String("columns")) {
        const std::optional<QList<Column>> columns = columnsFromText(value);
        if (!columns)
            return QStringLiteral("--columns の \"%1\" が読めません (keyword、heading、body、date、skip をコンマで区切ります)").arg(value);
        options.columns = *columns;
    } else if (name == QLatin1String("keyword-separator")) {
        if (value.isEmpty())
            return QStringLiteral("--keyword-separator が空です");
        options.keywordSeparator = value;
    } else if (name == QLatin1String("encoding")) {
        if (value.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
            options.encoding = Encoding::Utf8;
        else if (value.compare(QLatin1String("cp932"), Qt::CaseInsensitive) == 0)
            options.encoding = Encoding::Cp932;
        else
            return QStringLiteral("--encoding は utf-8 か cp932 です");
    } else if (value == QLatin1String("add")) {
        options.duplicates = Duplicates::Add;
    } else if (value == QLatin1String("skip")) {
        options.duplicates = Duplicates::Skip;
    } else {
        return QStringLiteral("--duplicates は add か skip です");
    }
    return std::nullopt;
}

CommandLine exportLine(const QString &dictionary, const QString &out)
{
    CommandLine line;
    line.mode = Mode::Exchange;
    line.exchange.direction = ExchangeRequest::Direction::Export;
    line.exchange.dictionary = dictionary;
    line.exchange.file = out;
    const QString suffix = suffixOf(out);
    if (suffix == QLatin1String("jsonl"))
        line.exchange.exportFormat = exchange::ExportFormat::JsonLines;
    else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        line.exchange.exportFormat = exchange::ExportFormat::Html;
    else
        return exchangeUsage(QStringLiteral("書き出せる形式は .jsonl と .html です: %1").arg(QDir::toNativeSeparators(out)));
    return line;
}

CommandLine importLine(const QCommandLineParser &parser, const QString &in, const QString &dictionary)
{
    CommandLine line;
    line.mode = Mode::Exchange;
    ExchangeRequest &request = line.exchange;
    request.direction = ExchangeRequest::Direction::Import;
    request.file = in;
    request.dictionary = dictionary;
    const QString suffix = suffixOf(in);
    request.jsonLines = suffix == QLatin1String("jsonl");
    if (!request.jsonLines && suffix != QLatin1String("csv") && suffix != QLatin1String("tsv"))
        return exchangeUsage(QStringLiteral("取り込める形式は .jsonl、.csv、.tsv です: %1").arg(QDir::toNativeSeparators(in)));
    request.listOptions.delimiter = suffix == QLatin1String("tsv") ? u'\t' : u',';
    QStringList given;
    for (const char *name : WordListOptions)
        if (parser.isSet(QString::fromLatin1(name)))
            given.append(QString::fromLatin1(name));
    request.listOptions.headerRow = parser.isSet(QStringLiteral("header"));
    if (request.jsonLines && (!given.isEmpty() || request.listOptions.headerRow))
        return exchangeUsage(QStringLiteral("オプション %1 は CSV/TSV の取り込みにだけ使えます")
                                 .arg(dashed(given.value(0, QStringLiteral("header")))));
    for (const QString &name : std::as_const(given))
        if (const std::optional<QString> problem = readWordListOption(name, parser.value(name), request.listOptions))
            return exchangeUsage(*problem);
    return line;
}

CommandLine exchangeLine(const QCommandLineParser &parser, const QString &mode)
{
    const QString given = parser.value(mode);
    const QString second = parser.positionalArguments().value(0);
    return mode == QLatin1String("export") ? exportLine(given, second) : importLine(parser, given, second);
}

CommandLine modeLine(const QCommandLineParser &parser, const QString &mode)
{
    if (mode == QLatin1String("search"))
        return searchLine(parser.value(mode), parser.isSet(QStringLiteral("clipboard")));
    if (mode == QLatin1String("lookup"))
        return lookupLine(parser);
    if (mode == QLatin1String("export") || mode == QLatin1String("import"))
        return exchangeLine(parser, mode);
    CommandLine line;
    if (mode == QLatin1String("backup"))
        line.mode = Mode::Backup;
    else if (mode == QLatin1String("new-entry"))
        line.start = StartRequest::newEntry();
    return line;
}

int reportEmptyClipboard(int &argc, char *argv[])
{
    return tellUser(argc, argv,
                    QStringLiteral("クリップボードに検索する語がありません。語をコピーしてから、もう一度実行してください。"));
}

} // namespace

int reportBadUsage(const CommandLine &line, QTextStream &err)
{
    if (line.usage == CommandLine::Usage::Exchange)
        err << line.problem << QLatin1Char('\n') << QStringLiteral("使い方:\n") << QString::fromUtf8(ExchangeUsage);
    else
        err << "brindlet: " << line.problem << '\n' << QStringLiteral("使い方は brindlet --help で表示します。") << '\n';
    err.flush();
    return int(ExitStatus::BadUsage);
}

StartRequest handedStartRequest(const QStringList &arguments)
{
    const CommandLine line = parseCommandLine(arguments);
    return line.mode == Mode::Program ? line.start : StartRequest{};
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("brindlet")} + arguments))
        return badUsage(parseProblem(parser, arguments));
    if (parser.isSet(QStringLiteral("help")))
        return arguments.size() == 1 ? CommandLine{.mode = Mode::Help}
                                     : badUsage(QStringLiteral("--help には引数を付けません。"));
    QStringList modes;
    for (const QString &mode : ModeOptions)
        if (parser.isSet(mode))
            modes.append(mode);
    if (const std::optional<QString> problem = structureProblem(parser, modes))
        return badUsage(*problem);
    const QString mode = modes.value(0);
    const QStringList words = parser.positionalArguments();
    if (const std::optional<QString> problem = positionalProblem(mode, words))
        return badUsage(*problem);
    CommandLine line = mode.isEmpty() && words.size() == 1 ? searchLine(words.first(), false) : modeLine(parser, mode);
    line.platform = parser.value(QStringLiteral("platform"));
    line.display = parser.value(QStringLiteral("display"));
    return line;
}

QStringList commandLineOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

namespace {

// A box shown before any window of the program: without a window of its own to come from, it asks
// for the keyboard itself, so Return or Esc close it at once.
void showNotice(const QString &text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quillmere"), text, QMessageBox::Ok);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

} // namespace

int tellUser(int &argc, char *argv[], const QString &text)
{
    QTextStream(stderr) << "brindlet: " << text << '\n';
    // Started from the desktop's menu, the message is only seen in a window; a platform without
    // a screen would keep the box open for nobody.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return 1;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        showNotice(text);
    } else if (!QCoreApplication::instance() && !displayProblem()) {
        QApplication app(argc, argv);
        desktop::installQtJapanese(app);
        showNotice(text);
    }
    return 1;
}

std::optional<int> runWithoutWindows(int &argc, char *argv[], const CommandLine &line)
{
    switch (line.mode) {
    case Mode::Program:
        return std::nullopt;
    case Mode::BadUsage:
    {
        QTextStream err(stderr);
        return reportBadUsage(line, err);
    }
    case Mode::Help:
        QTextStream(stdout) << helpText();
        return 0;
    case Mode::Lookup:
        return runLookupCommand(argc, argv, line.lookup);
    case Mode::Exchange:
        return runExchangeCommand(argc, argv, line.exchange);
    case Mode::Backup:
        return runBackupCommand(argc, argv);
    case Mode::EmptyClipboard:
        return reportEmptyClipboard(argc, argv);
    }
    return std::nullopt;
}

} // namespace qm::app
