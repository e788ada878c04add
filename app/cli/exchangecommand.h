#pragma once

#include "app/exchange/exporter.h"
#include "app/exchange/wordlist.h"

#include <QString>

class QTextStream;

namespace qm::app {

// The usage of the two data commands, for the program's help text and its manual page.
inline constexpr char ExchangeUsage[] =
    "  brindlet --export 辞書ファイル 出力ファイル\n"
    "      辞書の全項目を書き出します。形式は出力ファイルの拡張子で決まります:\n"
    "      .jsonl (辞書の交換形式、そのまま取り込み直せます)、.html (ブラウザーで見られる 1 つのページ)\n"
    "  brindlet --import 入力ファイル 辞書ファイル [オプション]\n"
    "      入力ファイルの項目を辞書に追加します。辞書ファイルがなければ作ります。\n"
    "      形式は入力ファイルの拡張子で決まります: .jsonl、.csv、.tsv\n"
    "      途中で失敗したときは何も追加しません。\n"
    "    CSV/TSV のオプション:\n"
    "      --columns 列,...          各列の内容: keyword、heading、body、date、skip\n"
    "                                (既定: keyword,heading,body)\n"
    "      --keyword-separator 文字  キーワードの列を複数のキーワードに分ける区切り\n"
    "      --header                  1 行目は列の名前として読み飛ばす\n"
    "      --encoding utf-8|cp932    文字コード (既定: BOM と内容から判定)\n"
    "      --duplicates add|skip     同じ見出しの項目がすでにあるとき追加するか読み飛ばすか\n"
    "                                (既定: add)\n";

// `--export DICTIONARY OUT` or `--import IN DICTIONARY [word-list options]`, read from the
// command line: the format comes from the file's extension, the word-list options are typed.
struct ExchangeRequest {
    enum class Direction { Export, Import };
    Direction direction = Direction::Export;
    QString dictionary;
    // The file written by an export, or read by an import.
    QString file;
    exchange::ExportFormat exportFormat = exchange::ExportFormat::JsonLines;
    // An import of the JSON Lines format; otherwise a word list read with `listOptions`.
    bool jsonLines = false;
    exchange::wordlist::Options listOptions;
};

// Runs an export or import before any window or display is needed (a QCoreApplication is made
// when there is none), and gives the exit status: 0 on success.
int runExchangeCommand(int &argc, char *argv[], const ExchangeRequest &request);

// The command itself; progress and messages go to `err`.
int runExchange(const ExchangeRequest &request, QTextStream &err);

} // namespace qm::app
