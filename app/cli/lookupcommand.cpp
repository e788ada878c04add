#include "app/cli/lookupcommand.h"

#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "app/common/storemessages.h"
#include "app/store/sets/openset.h"
#include "app/store/care/salvage.h"
#include "app/store/sets/slot.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/prompter.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace qm::app {
namespace {

// The store's messages (a dictionary that does not open, a set file that cannot be read) are
// written to the terminal; a question is answered with its cautious choice.
class StreamPrompter final : public desktop::Prompter
{
public:
    explicit StreamPrompter(QTextStream &err)
        : m_err(err)
    {
    }
    Answer ask(const Message &message) override
    {
        m_err << message.text << '\n';
        m_err.flush();
        switch (message.buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            break;
        }
        return Answer::Cancel;
    }

private:
    QTextStream &m_err;
};

struct FoundRow {
    int slot = 0;
    store::KeywordMatch match;
};

// What the keyword box looks up for the text, then "*". Brackets are character classes, as in
// a pattern pasted into the box; a double quote, which the box refuses and no keyword holds, is
// left out.
QString keywordBoxPattern(const QString &typed)
{
    QString text = typed.trimmed();
    text.remove(QLatin1Char('"'));
    return text + QLatin1Char('*');
}

QString objectText(const QByteArray &body)
{
    const std::optional<objects::StoredObject> object = objects::image::fromBytes(body);
    if (!object)
        return QStringLiteral("[オブジェクト]");
    if (object->isLink())
        return QStringLiteral("[リンク] %1").arg(object->linkPath);
    return QStringLiteral("[埋め込みファイル] %1").arg(object->name);
}

// The body as text: rich text by the RTF reader, an object by its name.
QString bodyText(const store::Entry &entry)
{
    if (store::viewerFromCode(entry.Viewer) == store::Viewer::Ole)
        return objectText(entry.Document);
    QString text = text::cp932::decode(entry.Document);
    if (store::viewerFromCode(entry.Viewer) == store::Viewer::RichText)
        text = rtf::rtfToPlainText(text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString typeName(quint8 viewer)
{
    switch (store::viewerFromCode(viewer).value_or(store::Viewer::Text)) {
    case store::Viewer::Text:
        return QStringLiteral("text");
    case store::Viewer::RichText:
        return QStringLiteral("richtext");
    case store::Viewer::Url:
        return QStringLiteral("url");
    case store::Viewer::Html:
        return QStringLiteral("html");
    case store::Viewer::Ole:
        return QStringLiteral("object");
    }
    return {};
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A damaged dictionary, with what could not be read of it, and how the program repairs it.
QString damagedText(const QString &path, const QString &what)
{
    return QStringLiteral("辞書 %1 が壊れているため、%2を読めませんでした。プログラムでこの辞書を開くと、"
                          "読める部分の救出かﾊﾞｯｸｱｯﾌﾟからの復元ができます。")
        .arg(shownPath(path), what);
}

QString readFailureText(const QString &path, const QString &what, const sqlite::Error &e)
{
    if (store::isDamageError(e))
        return damagedText(path, what);
    return QStringLiteral("辞書 %1 の%2を読めませんでした（%3）。").arg(shownPath(path), what, app::describeFailure(e));
}

// Why the search failed: the pattern, or the dictionary that failed and why.
QString searchFailureText(const store::SearchFailure &failure)
{
    if (failure.isBadPattern())
        return QStringLiteral("クエリーの書式にエラーが発生しました");
    if (failure.path.isEmpty())
        return QStringLiteral("検索できませんでした（%1）").arg(app::describeFailure(failure.error));
    return readFailureText(failure.path, QStringLiteral("キーワード"), failure.error);
}

class RowWriter final
{
public:
    RowWriter(store::DatabaseModule &database, const LookupRequest &request, QTextStream &out, QTextStream &err)
        : m_database(database)
        , m_json(request.json)
        , m_out(out)
        , m_err(err)
    {
    }

    void write(const FoundRow &row)
    {
        const QString name = dictionaryName(row.slot);
        const QString body = bodyOf(row);
        if (m_json) {
            const QJsonObject object{{QStringLiteral("keyword"), row.match.Index},
                                     {QStringLiteral("heading"), row.match.Heading},
                                     {QStringLiteral("dictionary"), name},
                                     {QStringLiteral("slot"), row.slot},
                                     {QStringLiteral("type"), typeName(row.match.Viewer)},
                                     {QStringLiteral("body"), body}};
            m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
            return;
        }
        m_out << row.match.Index << '\t' << row.match.Heading << '\t' << store::dictionaryLabel(row.slot, name) << '\n';
        // The lines under the row; a body's closing line breaks add no empty lines.
        QStringView lines = body;
        while (lines.endsWith(QLatin1Char('\n')))
            lines.chop(1);
        for (const QStringView line : lines.tokenize(QLatin1Char('\n')))
            m_out << "    " << line << '\n';
        m_out << '\n';
    }

private:
    // A dictionary's name is read once: every row of it would otherwise query its properties.
    QString dictionaryName(int slot)
    {
        const auto known = m_names.constFind(slot);
        if (known != m_names.cend())
            return *known;
        return *m_names.insert(slot, readName(slot));
    }

    QString readName(int slot) const
    {
        store::DictionaryStorage *d = m_database.storage(slot);
        try {
            return d ? d->name() : QString();
        } catch (const sqlite::Error &) {
            return {};
        }
    }

    QString bodyOf(const FoundRow &row) const
    {
        store::DictionaryStorage *d = m_database.storage(row.slot);
        if (!d)
            return {};
        try {
            if (const std::optional<store::Entry> found = d->document(row.match.DocumentNumber))
                return bodyText(*found);
            // Keywords go with their entry, so keywords left without it tell of a damaged file.
            if (d->keywords(row.match.DocumentNumber).isEmpty())
                m_err << QStringLiteral("辞書 %1 の%2は、検索のあとで削除されました。").arg(shownPath(d->location()), entryText(row)) << '\n';
            else
                m_err << damagedText(d->location(), entryText(row)) << '\n';
        } catch (const sqlite::Error &e) {
            m_err << readFailureText(d->location(), entryText(row), e) << '\n';
        }
        return {};
    }

    // Made only for a message: most rows never need it.
    static QString entryText(const FoundRow &row)
    {
        return QStringLiteral("項目「%1」の本文").arg(row.match.Heading);
    }

    store::DatabaseModule &m_database;
    bool m_json = false;
    QTextStream &m_out;
    QTextStream &m_err;
    QHash<int, QString> m_names;
};

// Makes the named set (or the current one) current and opens it; false, with the reason told,
// when no dictionary of it opens.
bool openSet(store::DatabaseModule &database, const QString &setName, QTextStream &err)
{
    database.LoadDictionarySets();
    if (!setName.isEmpty()) {
        int index = -1;
        for (int i = 0; i < database.sets().count() && index < 0; ++i)
            if (database.sets().at(i).name() == setName)
                index = i;
        if (index < 0) {
            err << QStringLiteral("辞書セット「%1」はありません。").arg(setName) << '\n';
            return false;
        }
        database.sets().choose(index);
    }
    database.OpenDictionarySet();
    for (int slot = 0; slot < database.DictionaryCount(); ++slot)
        if (database.storage(slot))
            return true;
    const store::DictionarySet *set = database.sets().currentSet();
    err << QStringLiteral("辞書セット「%1」の辞書を開けませんでした。").arg(set ? set->name() : QString()) << '\n';
    return false;
}

} // namespace

std::optional<QString> lookupPatternProblem(const QString &pattern)
{
    try {
        store::compileKeywordPattern(keywordBoxPattern(pattern));
    } catch (const sqlite::Error &e) {
        return QStringLiteral("パターン %1 は検索に使えません（%2）。").arg(pattern, app::errorText(e));
    }
    return std::nullopt;
}

QString helpText()
{
    return QStringLiteral(
        "使い方: brindlet [語]\n"
        "        brindlet --search 語 [--clipboard]\n"
        "        brindlet --new-entry\n"
        "        brindlet --lookup パターン [--set 辞書セット名] [--limit 件数] [--json]\n"
        "        brindlet --export 辞書 出力ファイル\n"
        "        brindlet --import 入力ファイル 辞書 [--columns 列,...] [--keyword-separator 区切り]\n"
        "                 [--header] [--encoding utf-8|cp932] [--duplicates add|skip]\n"
        "        brindlet --backup\n"
        "        brindlet --help\n"
        "\n"
        "個人辞書の項目をキーワードで引くプログラムです。引数がなければ画面を開きます。\n"
        "同じデータフォルダーのプログラムがすでに動いているときは、コマンドラインをそのプログラムに渡します。\n"
        "\n"
        "  語                      キーワード欄に語を入れて検索します（--search 語 と同じ）。\n"
        "  --search 語             動いているプログラムのキーワード欄で語を検索します。\n"
        "                          動いていなければ起動してから検索します。\n"
        "    --clipboard           語はクリップボードの内容です。空のときは検索せずに、そう知らせます\n"
        "                          （デスクトップのメニューの「クリップボードの語を検索」が使います）。\n"
        "  --new-entry             新規登録のウィンドウを開きます。\n"
        "  --lookup パターン       画面を開かずに検索し、結果を標準出力に書きます。パターンはキーワード欄と\n"
        "                          同じように読みます（* 任意の文字列、? 任意の1文字、# 数字1文字、\n"
        "                          [abc] いずれか1文字、[!abc] それ以外の1文字。末尾に * を補います。\n"
        "                          大文字と小文字、全角と半角、ひらがなとカタカナは区別しません）。\n"
        "                          1件ごとに、キーワード、見出し、辞書名をタブで区切った行と、\n"
        "                          字下げした本文を書きます。リッチテキストは文字だけを、オブジェクトは\n"
        "                          ファイル名を書きます。辞書は読み取り専用で開くので、動いている\n"
        "                          プログラムがあっても使えます。\n"
        "    --set 名前            検索する辞書セットです（既定: 現在の辞書セット）。\n"
        "    --limit 件数          書き出す件数の上限です（既定: 1000）。\n"
        "    --json                1件を1行の JSON オブジェクトで書きます（keyword, heading, dictionary,\n"
        "                          slot, type, body）。\n"
        "  --export 辞書 出力ファイル\n"
        "                          辞書の全項目をファイルに書き出します。形式は拡張子で決まります\n"
        "                          (.jsonl 取り込み直せる形式、.html ブラウザーで読むページ)。\n"
        "  --import 入力ファイル 辞書\n"
        "                          ファイルの項目を辞書に登録します。形式は拡張子で決まります\n"
        "                          (.jsonl 書き出した形式、.csv .tsv 1行1項目の単語リスト)。\n"
        "                          辞書がなければ作ります。途中で失敗すると辞書は元のままです。\n"
        "                          辞書には、ファイルのほか、サーバーの辞書の場所も書けます\n"
        "                          (postgresql://サーバー/データベース?dictionary=辞書名。--export も同じ)。\n"
        "                          パスワードは ~/.pgpass か環境変数 PGPASSWORD で渡します。\n"
        "    --columns 列,...      単語リストの列が何を表すかを順に指定します（keyword, heading, body,\n"
        "                          date, skip。既定: keyword,heading,body）。\n"
        "    --keyword-separator 区切り\n"
        "                          1つの列に複数のキーワードを書くときの区切りです。\n"
        "    --header              入力の先頭行を列名の行として読み飛ばします。\n"
        "    --encoding utf-8|cp932\n"
        "                          入力の文字コードです。\n"
        "    --duplicates add|skip 見出しがすでにある項目を追加する (add) か、読み飛ばす (skip) かです。\n"
        "  --backup                すべての辞書セットの辞書と辞書セットの一覧を、画面を開かずに\n"
        "                          バックアップします（定期的な実行用）。バックアップは検査してから\n"
        "                          日付の名前で保存し、古いものは日ごと・週ごとに残して削除します。\n"
        "                          すべてバックアップできたときだけ終了ステータス 0 で終わります。\n"
        "  -h, --help              この説明を表示します。\n"
        "\n"
        "終了ステータス (--lookup): 0 見つかった、1 見つからなかった、2 使い方の誤り、\n"
        "または辞書セットを開けなかった。\n"
        "\n"
        "知らないオプション、値のないオプション、一緒に使えないオプションは、画面を開かずに\n"
        "終了ステータス 2 で終わります。画面が見つからないときは、画面を使う起動は終了ステータス 1 で\n"
        "終わります（画面のない環境では xvfb-run brindlet で起動できます）。\n");
}

ExitStatus runLookup(const LookupRequest &request, const QString &programFolder, QTextStream &out, QTextStream &err)
{
    StreamPrompter prompter(err);
    store::DatabaseModule database(qm::app::storeHost(prompter), programFolder);
    database.setReadOnly(true);
    database.setServerTimeout([] { return store::Settings().serverTimeout(); });
    if (!openSet(database, request.setName, err))
        return ExitStatus::BadUsage;
    // One read transaction a dictionary for the lookup and the bodies of its rows.
    std::vector<std::unique_ptr<store::DictionaryStorage::ReadScope>> reads;
    for (int slot = 0; slot < database.DictionaryCount(); ++slot)
        if (store::DictionaryStorage *d = database.storage(slot))
            reads.push_back(d->holdReads());
    std::vector<FoundRow> rows;
    const store::SearchResults results =
        database.search(store::SearchRequest::keyword(keywordBoxPattern(request.pattern), request.limit,
                                                      store::RowUse::WithBodies),
                        [&rows](const store::SlotMatch &m) { rows.push_back({m.slot.index, m.match}); });
    // The rows the other dictionaries gave are still written.
    const bool failed = results.failure.has_value();
    if (failed)
        err << searchFailureText(*results.failure) << '\n';
    RowWriter writer(database, request, out, err);
    for (const FoundRow &row : rows)
        writer.write(row);
    out.flush();
    err.flush();
    reads.clear();
    database.CloseDictionarySet();
    if (failed)
        return ExitStatus::BadUsage;
    return rows.empty() ? ExitStatus::NothingFound : ExitStatus::Found;
}

int runLookupCommand(int &argc, char *argv[], const LookupRequest &request)
{
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return int(runLookup(request, desktop::ProgramFolder::path(), out, err));
}

} // namespace qm::app
