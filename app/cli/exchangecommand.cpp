#include "app/cli/exchangecommand.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
#include "app/exchange/exporter.h"
#include "app/exchange/importer.h"
#include "app/exchange/wordlist.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionary.h"
#include "app/common/storemessages.h"
#include "app/store/care/writetarget.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/settings.h"
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

enum Status { Success = 0, Failed = 1 };

// A file by its native path; a dictionary on a server by its location without a password.
QString shown(const QString &path)
{
    if (store::isServerLocation(path))
        return store::shownServerLocation(path);
    return QDir::toNativeSeparators(path);
}

store::ServerOptions serverOptions(bool readOnly, bool create)
{
    store::ServerOptions options;
    options.timeout = store::Settings().serverTimeout();
    options.readOnly = readOnly;
    options.createIfMissing = create;
    // Rich-text bodies get the text their search reads, as in the program.
    options.richText = &rtf::rtfToPlainText;
    return options;
}

std::unique_ptr<store::DictionaryStorage> openToRead(const QString &dictionary)
{
    if (store::isServerLocation(dictionary))
        return store::openServerDictionary(dictionary, serverOptions(true, false));
    return std::make_unique<store::Dictionary>(dictionary, store::Dictionary::Options{true, {}});
}

// Takes away the dictionary on a server this command made when the import into it failed, as
// CreatedFile does for a file: it was not there before, and an empty one is not what was asked
// for. One that existed before is never touched.
struct CreatedServerDictionary {
    QString location;
    bool created = false;
    bool keep = false;
    ~CreatedServerDictionary()
    {
        if (created && !keep)
            store::dropEmptyServerDictionary(location, serverOptions(false, false));
    }
};

// The dictionary on a server an import writes into; made, with the description the entries
// bring (a JSON Lines header), when the server has none of that name.
std::unique_ptr<store::DictionaryStorage> openServerToImport(CreatedServerDictionary &target, QIODevice &in, bool json)
{
    try {
        return store::openServerDictionary(target.location, serverOptions(false, false));
    } catch (const sqlite::Error &e) {
        if (!store::isStoreError(e, store::FailureKind::ServerDictionaryMissing))
            throw;
    }
    std::unique_ptr<store::DictionaryStorage> made = store::openServerDictionary(target.location, serverOptions(false, true));
    target.created = true;
    if (json)
        made->setDescription(exchange::readJsonHeader(in));
    return made;
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
    err << app::describeTargetRefusal(target) << QStringLiteral("\n書き出していません\n");
    return std::nullopt;
}

int runExport(const ExchangeRequest &request, QTextStream &err)
{
    const QString &dictionaryPath = request.dictionary;
    const QString &outPath = request.file;
    exchange::ExportOptions options;
    options.format = request.exportFormat;
    options.labels = htmlLabels();
    if (!store::isServerLocation(dictionaryPath) && !QFileInfo(dictionaryPath).isFile()) {
        err << QStringLiteral("辞書ファイル %1 がありません\n").arg(shown(dictionaryPath));
        return Failed;
    }
    const std::optional<store::ResolvedTarget> target = exportTarget(dictionaryPath, outPath, err);
    if (!target)
        return Failed;
    options.progress = printer(err, QStringLiteral("書き出し中"));
    const QString unchanged = QStringLiteral("%1 は変更していません\n").arg(shown(outPath));
    try {
        const std::unique_ptr<store::DictionaryStorage> dictionary = openToRead(dictionaryPath);
        store::TargetFile out(*target, &app::errorText);
        if (!out.open(QIODevice::WriteOnly)) {
            err << QStringLiteral("%1 に書き込めません: %2\n").arg(shown(outPath), out.errorString()) << unchanged;
            return Failed;
        }
        exchange::exportDictionary(*dictionary, out, options);
        if (!out.commit()) {
            err << QStringLiteral("%1 に書き込めません: %2\n").arg(shown(outPath), out.errorString()) << unchanged;
            return Failed;
        }
        err << QStringLiteral("%1 件の項目を %2 に書き出しました\n").arg(dictionary->entryCount()).arg(shown(outPath));
        return Success;
    } catch (const sqlite::Error &e) {
        err << QStringLiteral("辞書 %1 を開けません: %2\n").arg(shown(dictionaryPath), app::describeFailure(e));
    } catch (const ExchangeError &e) {
        err << exchangeMessage(e) << QLatin1Char('\n') << unchanged;
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

// Adds the entries of `in` to the dictionary, in one transaction, counting them in `tally`.
void importInto(store::DictionaryStorage &dictionary, const ExchangeRequest &request, QIODevice &in, QTextStream &err,
                exchange::ImportTally &tally)
{
    const store::Progress progress = printer(err, QStringLiteral("取り込み中"));
    if (request.jsonLines) {
        exchange::JsonImportOptions options;
        options.progress = progress;
        exchange::importJsonLines(in, dictionary, options, &tally);
        return;
    }
    exchange::wordlist::Options listOptions = request.listOptions;
    listOptions.progress = progress;
    exchange::wordlist::importWordList(in, dictionary, listOptions, &tally);
}

int runServerImport(const ExchangeRequest &request, QIODevice &in, QTextStream &err)
{
    const QString &location = request.dictionary;
    // Declared before the dictionary, so that it is closed before what it made is taken away.
    CreatedServerDictionary created{location};
    try {
        const std::unique_ptr<store::DictionaryStorage> dictionary = openServerToImport(created, in, request.jsonLines);
        exchange::ImportTally tally;
        importInto(*dictionary, request, in, err, tally);
        created.keep = true;
        err << importReport(tally, QStringLiteral("辞書 %1 ").arg(shown(location))) << QLatin1Char('\n');
        return Success;
    } catch (const sqlite::Error &e) {
        err << QStringLiteral("辞書 %1 を使えません: %2\n").arg(shown(location), app::describeFailure(e));
    } catch (const ExchangeError &e) {
        err << shown(request.file) << QStringLiteral(": ") << exchangeMessage(e) << QStringLiteral("\n辞書は変更していません\n");
    }
    return Failed;
}

int runImport(const ExchangeRequest &request, QTextStream &err)
{
    const QString &inPath = request.file;
    const QString &dictionaryPath = request.dictionary;
    const bool json = request.jsonLines;
    QFile in(inPath);
    if (!QFileInfo(inPath).isFile()) {
        err << QStringLiteral("入力ファイル %1 がありません\n").arg(shown(inPath));
        return Failed;
    }
    if (!in.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("%1 を読めません: %2\n").arg(shown(inPath), in.errorString());
        return Failed;
    }
    if (!json && request.listOptions.encoding == exchange::wordlist::Encoding::Auto) {
        const exchange::wordlist::EncodingGuess guess = exchange::wordlist::guessEncoding(in);
        if (guess.encoding == exchange::wordlist::Encoding::Cp932)
            err << QStringLiteral("%1 行目が UTF-8 ではないので、CP932 として読みます\n").arg(guess.brokenLine);
    }
    if (store::isServerLocation(dictionaryPath))
        return runServerImport(request, in, err);
    // A name that leads to no file makes a new dictionary: at the real file behind a link, and
    // never where a folder, a device or a missing folder is.
    QString target = dictionaryPath;
    if (!QFileInfo::exists(dictionaryPath)) {
        const store::ResolvedTarget resolved = store::resolveWriteTarget(dictionaryPath, {{inPath}, {}});
        if (!resolved.isWritable()) {
            err << app::describeTargetRefusal(resolved) << QStringLiteral("\n辞書は作っていません\n");
            return Failed;
        }
        target = resolved.path;
    }
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
            importInto(dictionary, request, in, err, tally);
        }
        created.keep = true;
        err << importReport(tally, QStringLiteral("辞書 %1 ").arg(shown(dictionaryPath)))
            << QLatin1Char('\n');
        return Success;
    } catch (const sqlite::Error &e) {
        err << QStringLiteral("辞書 %1 を使えません: %2\n").arg(shown(dictionaryPath), app::describeFailure(e));
    } catch (const ExchangeError &e) {
        err << shown(inPath) << QStringLiteral(": ") << exchangeMessage(e) << QStringLiteral("\n辞書は変更していません\n");
    }
    return Failed;
}

} // namespace

int runExchange(const ExchangeRequest &request, QTextStream &err)
{
    return request.direction == ExchangeRequest::Direction::Export ? runExport(request, err) : runImport(request, err);
}

int runExchangeCommand(int &argc, char *argv[], const ExchangeRequest &request)
{
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    QTextStream err(stderr);
    const int status = runExchange(request, err);
    err.flush();
    return status;
}

} // namespace qm::app
