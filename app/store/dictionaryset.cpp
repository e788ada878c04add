#include "dictionaryset.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

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

bool DictionarySet::operator==(const DictionarySet &other) const
{
    if (SetName != other.SetName || FileCount != other.FileCount)
        return false;
    for (int i = 0; i < FileCount; ++i)
        if (FileNames[i] != other.FileNames[i])
            return false;
    return true;
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
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

DictionarySetTable parseDictionarySets(const QString &text)
{
    DictionarySetTable t;
    // Sets beyond the table's size are read but not kept, and their dictionary lines with them.
    bool skippingSet = false;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString &line : lines) {
        const QString key = GetLineKey(line);
        if (key == QLatin1String("DictionarySets")) {
            skippingSet = t.DictionarySetCount >= MaxDictionarySets;
            if (skippingSet)
                continue;
            DictionarySet &set = t.DictionarySetList[t.DictionarySetCount++];
            set = DictionarySet{};
            set.SetName = GetLineValue(line);
        } else if (key == QLatin1String("Dictionary")) {
            if (skippingSet || t.DictionarySetCount == 0)
                continue;
            DictionarySet &set = t.DictionarySetList[t.DictionarySetCount - 1];
            if (set.FileCount < MaxDictionariesPerSet)
                set.FileNames[set.FileCount++] = GetLineValue(line);
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

QString formatDictionarySets(const DictionarySetTable &table)
{
    QString out = header(table.OpenDictionarySetsIndex);
    for (int s = 0; s < table.DictionarySetCount; ++s) {
        const DictionarySet &set = table.DictionarySetList[s];
        out += setLine(set.SetName);
        for (int f = 0; f < set.FileCount; ++f)
            out += dictionaryLine(set.FileNames[f]);
        out += CrLf;
    }
    return out;
}

QString defaultDictionarySetsText(const QString &userDictionaryPath)
{
    return header(0) + setLine(QStringLiteral("ユーザー辞書セット")) + dictionaryLine(userDictionaryPath);
}

} // namespace qm::store
