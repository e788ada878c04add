#include "exchangemessages.h"

#include "storemessages.h"

#include "platform/text/cp932.h"

namespace qm::app {

namespace {

using Kind = exchange::Reason::Kind;
using Part = exchange::Reason::Part;

QString partName(Part part)
{
    switch (part) {
    case Part::Header: return QStringLiteral("見出し行");
    case Part::Entry: return QStringLiteral("項目");
    case Part::Body: return QStringLiteral("本文");
    case Part::Object: return QStringLiteral("埋め込みオブジェクト");
    }
    return {};
}

QString delimiterName(QChar delimiter)
{
    return delimiter == u'\t' ? QStringLiteral("タブ") : QString(delimiter);
}

// Reasons about what a file holds, its lines and its JSON.
QString fileReason(const exchange::Reason &r)
{
    switch (r.kind) {
    case Kind::LineTooLong: return QStringLiteral("行が長すぎます (%1 バイトを超えています)").arg(r.limit);
    case Kind::LastLineCut: return QStringLiteral("最後の行が途中で切れています (改行で終わっていません)");
    case Kind::EmptyFile: return QStringLiteral("ファイルが空です");
    case Kind::NotUtf8: return QStringLiteral("UTF-8 として読めません");
    case Kind::UndecodableUtf8:
        return QStringLiteral("%1 文字目に UTF-8 として読めないバイト (0x%2) があります").arg(r.value).arg(r.byte, 2, 16, QLatin1Char('0'));
    case Kind::UndecodableCp932: return QStringLiteral("%1 文字目に CP932 として読めないバイトがあります").arg(r.value);
    case Kind::QuoteNotClosed: return QStringLiteral("引用符 (\") が閉じないままファイルが終わっています");
    case Kind::NotJsonObject: return QStringLiteral("JSON のオブジェクトとして読めません (%1 文字目付近)").arg(r.value);
    case Kind::TooManyJsonValues: return QStringLiteral("JSON の値が多すぎます (%1 個を超えています)").arg(r.limit);
    case Kind::NotThisFormat: return QStringLiteral("この形式のファイルではありません");
    case Kind::FirstLineNotHeader: return QStringLiteral("この形式のファイルではありません (1 行目が辞書の説明ではありません)");
    case Kind::UnreadableVersion: return QStringLiteral("形式の版 %1 は読めません (読めるのは %2 です)").arg(r.text).arg(r.limit);
    case Kind::MissingField: return QStringLiteral("%1の \"%2\" がないか、型が違います").arg(partName(r.part), r.text);
    case Kind::BadBase64: return QStringLiteral("%1の \"%2\" が base64 として読めません").arg(partName(r.part), r.text);
    default: return {};
    }
}

// Reasons about one entry or row.
QString entryReason(const exchange::Reason &r)
{
    switch (r.kind) {
    case Kind::UnknownObjectKind: return QStringLiteral("埋め込みオブジェクトの種類 \"%1\" は読めません").arg(r.text);
    case Kind::ObjectNotRestorable:
        return QStringLiteral("埋め込みオブジェクトを復元できません (名前、種類、パスのいずれかが長すぎます)");
    case Kind::MissingDate: return QStringLiteral("\"date\" がないか、型が違います");
    case Kind::UnreadableDate: return QStringLiteral("日付 \"%1\" が読めません").arg(r.text);
    case Kind::BadEntryNumber: return QStringLiteral("項目番号 %1 は使えません").arg(r.text);
    case Kind::UnknownType: return QStringLiteral("種類 %1 はありません (1 から 5 です)").arg(r.text);
    case Kind::KeywordNotText: return QStringLiteral("キーワードが文字列ではありません");
    case Kind::EmptyKeyword: return QStringLiteral("空のキーワードがあります");
    case Kind::BodyTooLarge: return QStringLiteral("本文が大きすぎます (%1 バイト、上限は %2 バイトです)").arg(r.value).arg(r.limit);
    case Kind::FieldsTooLarge:
        return QStringLiteral("見出しとキーワードが長すぎます (%1 バイト、上限は %2 バイトです)").arg(r.value).arg(r.limit);
    case Kind::BodyNotCp932: return QStringLiteral("本文に CP932 で表せない文字があります: %1").arg(text::cp932::describe(r.characters));
    case Kind::KeywordWithNul: return QStringLiteral("キーワード \"%1\" に NUL 文字 (U+0000) があります").arg(r.text);
    case Kind::ReservedKeywordChar:
        return QStringLiteral("キーワード \"%1\" にキーワードに使えない文字 \"%2\" があります").arg(r.text, r.character);
    case Kind::ExtraColumn:
        return QStringLiteral("%1 列目にも値がありますが、各列の内容は %2 列目までしか決まっていません。"
                              "その列を取り込まないときは「無視」(skip) にしてください")
            .arg(r.value)
            .arg(r.limit);
    case Kind::NoDelimiter: return QStringLiteral("区切り文字 (%1) がなく、値が 1 つしかありません").arg(delimiterName(r.character));
    case Kind::NoKeywordOrHeading: return QStringLiteral("キーワードも見出しもありません");
    default: return fileReason(r);
    }
}

// The store's failure behind a reason, in a few words.
QString causeOf(const exchange::Reason &r)
{
    return r.cause ? describeFailure(*r.cause) : QString();
}

QString dictionaryNotWritable(const exchange::Reason &r)
{
    return QStringLiteral("辞書に書き込めません: %1").arg(causeOf(r));
}

} // namespace

QString exchangeReason(const exchange::Reason &r)
{
    switch (r.kind) {
    case Kind::ImportCancelled: return QStringLiteral("取り込みを中止しました");
    case Kind::ExportCancelled: return QStringLiteral("書き出しを中止しました");
    case Kind::OutputNotWritable: return QStringLiteral("書き出し先に書き込めません: %1").arg(r.detail);
    case Kind::DictionaryUnreadable: return QStringLiteral("辞書を読めません: %1").arg(causeOf(r));
    case Kind::DictionaryNotWritable: return dictionaryNotWritable(r);
    case Kind::BatchNotWritable:
        return QStringLiteral("%1 行目から %2 行目までの項目を書き込めません。").arg(r.value).arg(r.limit) + dictionaryNotWritable(r);
    case Kind::TemporaryNotCreated: return QStringLiteral("一時ファイルを作成できません: %1").arg(r.detail);
    case Kind::TemporaryNotWritten: return QStringLiteral("一時ファイルに書き込めません: %1").arg(r.detail);
    case Kind::DictionaryClosed: return QStringLiteral("辞書が閉じられています");
    default: return entryReason(r);
    }
}

QString exchangeLineMessage(qint64 line, const exchange::Reason &reason)
{
    if (line <= 0)
        return exchangeReason(reason);
    return QStringLiteral("%1 行目: %2").arg(line).arg(exchangeReason(reason));
}

QString exchangeMessage(const exchange::ExchangeError &error)
{
    if (error.count() <= 1)
        return exchangeLineMessage(error.line(), error.reason());
    QStringList lines;
    for (const exchange::LineProblem &p : error.listed())
        lines.append(exchangeLineMessage(p.line, p.reason));
    QString out = QStringLiteral("取り込めない行が %1 行あります。\n").arg(error.count()) + lines.join(u'\n');
    if (error.count() > lines.size())
        out += QStringLiteral("\nほかに %1 行あります。").arg(error.count() - lines.size());
    return out;
}

QString importReport(const exchange::ImportTally &tally, const QString &where)
{
    QString out = QStringLiteral("%1 件の項目を%2に追加しました。").arg(tally.added).arg(where);
    QStringList converted;
    if (tally.asRichText > 0)
        converted.append(QStringLiteral("%1 件はリッチテキストとして").arg(tally.asRichText));
    if (tally.asHtml > 0)
        converted.append(QStringLiteral("%1 件は HTML として").arg(tally.asHtml));
    if (!converted.isEmpty())
        out += QStringLiteral("\n本文に CP932 で表せない文字があるため、そのうち %1保存しました。").arg(converted.join(QStringLiteral("、")));
    if (tally.skipped > 0)
        out += QStringLiteral("\n同じ見出しがあるため %1 行を読み飛ばしました。").arg(tally.skipped);
    return out;
}

exchange::html::Labels htmlLabels()
{
    exchange::html::Labels l;
    l.showBody = QStringLiteral("本文を表示");
    l.droppedImage = QStringLiteral("［外部の画像を省きました: %1］");
    l.unreadableObject = QStringLiteral("読めないオブジェクト (%1 バイト)");
    l.linkedFile = QStringLiteral("リンクされたファイル: %1");
    l.embeddedFile = QStringLiteral("埋め込みファイル: %1 (%2, %3 バイト)");
    l.updated = QStringLiteral("更新日時: %1");
    l.resultsTitle = QStringLiteral("検索結果");
    return l;
}

} // namespace qm::app
