#include "app/cli/exchangecommand.h"

#include "app/exchange/exchangeerror.h"
#include "app/exchange/exporter.h"
#include "app/exchange/importer.h"
#include "app/exchange/wordlist.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/messages.h"
#include "app/store/dictionary/writetarget.h"
#include "platform/desktop/programfolder.h"
#include "platform/rtf/rtf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <memory>

namespace qm::app {

namespace {

using exchange::ExchangeError;

enum Status { Success = 0, Failed = 1, Usage = 2 };

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Prints whole percents as they change.
store::Progress printer(QTextStream &err, const QString &what)
{
    return [&err, what, last = -1](qint64 done, qint64 total) mutable {
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        if (percent != last) {
            last = percent;
            err << what << QLatin1Char(' ') << percent << QStringLiteral("%\n");
            err.flush();
        }
        return true;
    };
}

int usageError(QTextStream &err, const QString &message)
{
    err << message << QLatin1Char('\n') << QStringLiteral("使い方:\n") << QString::fromUtf8(ExchangeUsage);
    return Usage;
}

// The word-list options of the command line; a message when one cannot be read.
std::optional<QString> readWordListOptions(const QStringList &args, exchange::wordlist::Options &options)
{
    using namespace exchange::wordlist;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &name = args[i];
        if (name == QLatin1String("--header")) {
            options.headerRow = true;
            continue;
        }
        if (i + 1 >= args.size())
            return QStringLiteral("%1 の値がありません").arg(name);
        const QString value = args[++i];
        if (name == QLatin1String("--columns")) {
            const std::optional<QList<Column>> columns = columnsFromText(value);
            if (!columns)
                return QStringLiteral("--columns の \"%1\" が読めません (keyword、heading、body、date、skip をコンマで区切ります)").arg(value);
            options.columns = *columns;
        } else if (name == QLatin1String("--keyword-separator")) {
            if (value.isEmpty())
                return QStringLiteral("--keyword-separator が空です");
            options.keywordSeparator = value;
        } else if (name == QLatin1String("--encoding")) {
            if (value.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
                options.encoding = Encoding::Utf8;
            else if (value.compare(QLatin1String("cp932"), Qt::CaseInsensitive) == 0)
                options.encoding = Encoding::Cp932;
            else
                return QStringLiteral("--encoding は utf-8 か cp932 です");
        } else if (name == QLatin1String("--duplicates")) {
            if (value == QLatin1String("add"))
                options.duplicates = Duplicates::Add;
            else if (value == QLatin1String("skip"))
                options.duplicates = Duplicates::Skip;
            else
                return QStringLiteral("--duplicates は add か skip です");
        } else {
            return QStringLiteral("オプション %1 はありません").arg(name);
        }
    }
    return std::nullopt;
}

// The file an export may write: the real file behind the name, never a dictionary, a set's
// dictionary (of the program folder's set file), the dictionary read, a device or a folder.
std::optional<store::ResolvedTarget> exportTarget(const QString &dictionaryPath, const QString &outPath, QTextStream &err)
{
    store::TargetGuard guard;
    guard.sources = QStringList{dictionaryPath};
    guard.setMembers = store::setMembersInFile(desktop::ProgramFolder::filePath(QStringLiteral("DicSets.ini")));
    store::ResolvedTarget target = store::resolveWriteTarget(outPath, guard);
    if (target.isWritable())
        return target;
    err << store::describeTargetRefusal(target) << QStringLiteral("\n書き出していません\n");
    return std::nullopt;
}

int runExport(const QString &dictionaryPath, const QString &outPath, QTextStream &err)
{
    const QString suffix = suffixOf(outPath);
    exchange::ExportOptions options;
    if (suffix == QLatin1String("jsonl"))
        options.format = exchange::ExportFormat::JsonLines;
    else if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        options.format = exchange::ExportFormat::Html;
    else
        return usageError(err, QStringLiteral("書き出せる形式は .jsonl と .html です: %1").arg(shown(outPath)));
    if (!QFileInfo(dictionaryPath).isFile()) {
        err << QStringLiteral("辞書ファイル %1 がありません\n").arg(shown(dictionaryPath));
        return Failed;
    }
    const std::optional<store::ResolvedTarget> target = exportTarget(dictionaryPath, outPath, err);
    if (!target)
        return Failed;
    options.progress = printer(err, QStringLiteral("書き出し中"));
    const QString unchanged = QStringLiteral("%1 は変更していません\n").arg(shown(outPath));
    try {
        store::Dictionary dictionary(dictionaryPath, {true, {}});
        store::TargetFile out(*target);
        if (!out.open(QIODevice::WriteOnly)) {
            err << QStringLiteral("%1 に書き込めません: %2\n").arg(shown(outPath), out.errorString()) << unchanged;
            return Failed;
        }
        exchange::exportDictionary(dictionary, out, options);
        if (!out.commit()) {
            err << QStringLiteral("%1 に書き込めません: %2\n").arg(shown(outPath), out.errorString()) << unchanged;
            return Failed;
        }
        err << QStringLiteral("%1 件の項目を %2 に書き出しました\n").arg(dictionary.documentRowCount()).arg(shown(outPath));
        return Success;
    } catch (const sqlite::Error &e) {
        err << QStringLiteral("辞書 %1 を開けません: %2\n").arg(shown(dictionaryPath), store::describeFailure(e));
    } catch (const ExchangeError &e) {
        err << e.message() << QLatin1Char('\n') << unchanged;
    }
    return Failed;
}

// Removes a dictionary file this command made when the import into it failed: it was not there
// before, and an empty dictionary is not what was asked for.
struct CreatedFile {
    QString path;
    bool created = false;
    bool keep = false;
    ~CreatedFile()
    {
        if (created && !keep) {
            QFile::remove(path);
            QFile::remove(path + QStringLiteral("-journal"));
        }
    }
};

int runImport(const QString &inPath, const QString &dictionaryPath, const QStringList &optionArgs, QTextStream &err)
{
    const QString suffix = suffixOf(inPath);
    const bool json = suffix == QLatin1String("jsonl");
    if (!json && suffix != QLatin1String("csv") && suffix != QLatin1String("tsv"))
        return usageError(err, QStringLiteral("取り込める形式は .jsonl、.csv、.tsv です: %1").arg(shown(inPath)));
    exchange::wordlist::Options listOptions;
    listOptions.delimiter = suffix == QLatin1String("tsv") ? u'\t' : u',';
    if (json && !optionArgs.isEmpty())
        return usageError(err, QStringLiteral("オプション %1 は CSV/TSV の取り込みにだけ使えます").arg(optionArgs.first()));
    if (const std::optional<QString> problem = readWordListOptions(optionArgs, listOptions))
        return usageError(err, *problem);

    QFile in(inPath);
    if (!QFileInfo(inPath).isFile()) {
        err << QStringLiteral("入力ファイル %1 がありません\n").arg(shown(inPath));
        return Failed;
    }
    if (!in.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("%1 を読めません: %2\n").arg(shown(inPath), in.errorString());
        return Failed;
    }
    if (!json && listOptions.encoding == exchange::wordlist::Encoding::Auto) {
        const exchange::wordlist::EncodingGuess guess = exchange::wordlist::guessEncoding(in);
        if (guess.encoding == exchange::wordlist::Encoding::Cp932)
            err << QStringLiteral("%1 行目が UTF-8 ではないので、CP932 として読みます\n").arg(guess.brokenLine);
    }
    // A name that leads to no file makes a new dictionary: at the real file behind a link, and
    // never where a folder, a device or a missing folder is.
    QString target = dictionaryPath;
    if (!QFileInfo::exists(dictionaryPath)) {
        const store::ResolvedTarget resolved = store::resolveWriteTarget(dictionaryPath, {{inPath}, {}});
        if (!resolved.isWritable()) {
            err << store::describeTargetRefusal(resolved) << QStringLiteral("\n辞書は作っていません\n");
            return Failed;
        }
        target = resolved.path;
    }
    const store::Progress progress = printer(err, QStringLiteral("取り込み中"));
    CreatedFile created{target};
    try {
        if (!QFileInfo::exists(target)) {
            const exchange::jsonl::DictionaryDescription description =
                json ? exchange::readJsonHeader(in)
                     : exchange::jsonl::DictionaryDescription{QFileInfo(dictionaryPath).completeBaseName()};
            exchange::jsonl::createDictionary(target, description);
            created.created = true;
        }
        exchange::ImportTally tally;
        {
            // Rich-text bodies get the text their search reads, as in the program.
            store::Dictionary dictionary(target, {false, {}, &rtf::rtfToPlainText});
            if (json) {
                exchange::JsonImportOptions options;
                options.progress = progress;
                exchange::importJsonLines(in, dictionary, options, &tally);
            } else {
                listOptions.progress = progress;
                exchange::wordlist::importWordList(in, dictionary, listOptions, &tally);
            }
        }
        created.keep = true;
        err << exchange::importReport(tally, QStringLiteral("辞書 %1 ").arg(shown(dictionaryPath)))
            << QLatin1Char('\n');
        return Success;
    } catch (const sqlite::Error &e) {
        err << QStringLiteral("辞書 %1 を使えません: %2\n").arg(shown(dictionaryPath), store::describeFailure(e));
    } catch (const ExchangeError &e) {
        err << shown(inPath) << QStringLiteral(": ") << e.message() << QStringLiteral("\n辞書は変更していません\n");
    }
    return Failed;
}

} // namespace

int runExchange(const QStringList &arguments, QTextStream &err)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("--export")) {
        if (arguments.size() != 3)
            return usageError(err, QStringLiteral("--export には辞書ファイルと出力ファイルを指定します"));
        return runExport(arguments[1], arguments[2], err);
    }
    if (command == QLatin1String("--import")) {
        if (arguments.size() < 3)
            return usageError(err, QStringLiteral("--import には入力ファイルと辞書ファイルを指定します"));
        return runImport(arguments[1], arguments[2], arguments.mid(3), err);
    }
    return usageError(err, QStringLiteral("コマンド %1 はありません").arg(command));
}

int runExchangeCommand(int &argc, char *argv[], const QStringList &arguments)
{
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    QTextStream err(stderr);
    const int status = runExchange(arguments, err);
    err.flush();
    return status;
}

} // namespace qm::app
