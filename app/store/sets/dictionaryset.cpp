#include "app/store/sets/dictionaryset.h"

#include "platform/text/cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace qm::store {
namespace {

const QString CrLf = QStringLiteral("\r\n");

// Only spaces are trimmed: a tab or other white space belongs to the name.
QString trimSpaces(QStringView s)
{
    qsizetype begin = 0, end = s.size();
    while (begin < end && s[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && s[end - 1] == QLatin1Char(' '))
        --end;
    return s.sliced(begin, end - begin).toString();
}

QStringList splitLines(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
}

// The text of the file's bytes, or a problem.
std::optional<QString> decodeSetFile(const QByteArray &bytes, std::optional<Error> &problem)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(QByteArrayView(bytes).sliced(3));
        if (!utf8.hasError())
            return text;
        problem = Error(Error::Kind::SetFileBadUtf8);
        return std::nullopt;
    }
    if (bytes.contains('\0')) {
        problem = Error(Error::Kind::SetFileBadEncoding);
        return std::nullopt;
    }
    // CP932 has no form of U+FFFD, so one in the text marks bytes that did not decode.
    QString text = text::cp932::decode(bytes);
    if (text.contains(QChar::ReplacementCharacter)) {
        problem = Error(Error::Kind::SetFileBadCp932);
        return std::nullopt;
    }
    return text;
}

// A problem of the line numbered `number`; `text` is the member or line it names.
Error lineProblem(int number, Error::Kind kind, const QString &text = {})
{
    return Error(kind, text).withNumber(number);
}

QString setLine(const QString &name)
{
    return QStringLiteral("DictionarySets = \"") + name + QStringLiteral("\"") + CrLf;
}

QString dictionaryLine(const QString &path)
{
    return QStringLiteral("Dictionary = \"") + path + QStringLiteral("\"") + CrLf;
}

QString header(int index)
{
    return QStringLiteral("Quillmere") + CrLf + CrLf + QStringLiteral("OpenDictionarySetsIndex = ")
           + QString::number(index) + CrLf + CrLf;
}

} // namespace

DictionarySet::DictionarySet(QString name, const QStringList &files)
    : m_name(std::move(name))
{
    for (const QString &file : files)
        append(file);
}

const QString &DictionarySet::fileName(int slot) const
{
    static const QString none;
    return isUsed(slot) ? m_files[std::size_t(slot)] : none;
}

QStringList DictionarySet::fileNames() const
{
    return QStringList(m_files.cbegin(), m_files.cbegin() + m_count);
}

QString DictionarySet::registeredAs(const QString &path) const
{
    const auto used = m_files.cbegin() + m_count;
    const auto found = std::find_if(m_files.cbegin(), used, [&path](const QString &file) {
        return QString::compare(file, path, Qt::CaseInsensitive) == 0;
    });
    return found == used ? QString() : *found;
}

bool DictionarySet::append(const QString &path)
{
    if (isFull() || contains(path))
        return false;
    m_files[std::size_t(m_count++)] = path;
    return true;
}

void DictionarySet::removeAt(int slot)
{
    if (!isUsed(slot))
        return;
    std::move(m_files.begin() + slot + 1, m_files.end(), m_files.begin() + slot);
    m_files.back().clear();
    --m_count;
}

void DictionarySet::swap(int first, int second)
{
    if (isUsed(first) && isUsed(second))
        std::swap(m_files[std::size_t(first)], m_files[std::size_t(second)]);
}

bool DictionarySet::operator==(const DictionarySet &other) const
{
    return m_name == other.m_name && fileNames() == other.fileNames();
}

QString GetLineKey(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return line;
    return trimSpaces(QStringView(line).left(eq));
}

QString GetLineValue(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return line;
    QString value = line.mid(eq + 1);
    value.replace(QLatin1Char('"'), QLatin1Char(' '));
    return trimSpaces(value);
}

bool FileExists(const QString &path)
{
    // Only a regular file: opening a pipe to read waits until another program writes to it.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

DictionarySetTable parseDictionarySets(const QString &text)
{
    DictionarySetTable t;
    // Sets beyond the table's size are read but not kept, and their dictionary lines with them.
    bool skippingSet = false;
    for (const QString &line : splitLines(text)) {
        const QString key = GetLineKey(line);
        if (key == QLatin1String("DictionarySets")) {
            skippingSet = t.DictionarySetCount >= MaxDictionarySets;
            if (skippingSet)
                continue;
            t.DictionarySetList[t.DictionarySetCount++] = DictionarySet(GetLineValue(line));
        } else if (key == QLatin1String("Dictionary")) {
            if (skippingSet || t.DictionarySetCount == 0)
                continue;
            t.DictionarySetList[t.DictionarySetCount - 1].append(GetLineValue(line));
        } else if (key == QLatin1String("OpenDictionarySetsIndex")) {
            bool ok = false;
            const int value = GetLineValue(line).toInt(&ok);
            if (ok && value >= -32768 && value <= 32767) {
                t.OpenDictionarySetsIndex = qint16(value);
                t.hasIndexLine = true;
            }
        }
    }
    return t;
}

std::optional<Error> checkDictionarySets(const QString &text)
{
    const QStringList lines = splitLines(text);
    int sets = 0;
    DictionarySet members;
    for (int i = 0; i < lines.size(); ++i) {
        const QString key = GetLineKey(lines[i]);
        if (key == QLatin1String("DictionarySets")) {
            if (++sets > MaxDictionarySets)
                return lineProblem(i + 1, Error::Kind::SetFileTooManySets);
            members = DictionarySet();
        } else if (key == QLatin1String("Dictionary")) {
            if (sets == 0)
                return lineProblem(i + 1, Error::Kind::SetFileMemberFirst);
            if (members.isFull())
                return lineProblem(i + 1, Error::Kind::SetFileTooManyMembers);
            // A set holds a file once; the reader would drop the second line.
            if (!members.append(GetLineValue(lines[i])))
                return lineProblem(i + 1, Error::Kind::SetFileDuplicateMember, GetLineValue(lines[i]));
        } else if (key == QLatin1String("OpenDictionarySetsIndex")) {
            bool ok = false;
            GetLineValue(lines[i]).toShort(&ok);
            if (!ok)
                return lineProblem(i + 1, Error::Kind::SetFileBadNumber);
        } else if (i > 0 && !lines[i].trimmed().isEmpty()) {
            // The first line is the title; any other line the reader does not know would be
            // dropped when the file is written back.
            return lineProblem(i + 1, Error::Kind::SetFileBadLine, lines[i]);
        }
    }
    if (sets == 0)
        return Error(Error::Kind::SetFileNoSets);
    return std::nullopt;
}

SetFileContents readDictionarySetsFile(const QString &path)
{
    SetFileContents contents;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        contents.missing = true;
        return contents;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        contents.problem = Error(Error::Kind::SetFileNotOpened, path);
        return contents;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.problem = Error(Error::Kind::SetFileNotRead, path);
        return contents;
    }
    if (bytes.trimmed().isEmpty()) {
        contents.missing = true;
        return contents;
    }
    const std::optional<QString> text = decodeSetFile(bytes, contents.problem);
    if (!text)
        return contents;
    contents.problem = checkDictionarySets(*text);
    if (!contents.problem)
        contents.table = parseDictionarySets(*text);
    return contents;
}

QString formatDictionarySets(const DictionarySetTable &table)
{
    QString out = header(table.OpenDictionarySetsIndex);
    for (int s = 0; s < table.DictionarySetCount; ++s) {
        const DictionarySet &set = table.DictionarySetList[s];
        out += setLine(set.name());
        for (const QString &file : set.fileNames())
            out += dictionaryLine(file);
        out += CrLf;
    }
    return out;
}

QString defaultDictionarySetsText(const QString &setName, const QString &userDictionaryPath)
{
    return header(0) + setLine(setName) + dictionaryLine(userDictionaryPath);
}

} // namespace qm::store
