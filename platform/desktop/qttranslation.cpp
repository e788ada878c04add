#include "qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace qm::desktop {
namespace {

struct OwnText {
    const char *context;
    const char *source;
    const char *japanese;
};

// The toolkit's texts its Japanese translation leaves in English: the kind of file the file
// dialog shows in its type column. The words are the translation's own for the same things.
constexpr OwnText OwnTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "File", "ファイル"},
    {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
    {"QAbstractFileIconProvider", "Alias", "エイリアス"},
    {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
    {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    {"QAbstractFileIconProvider", "Unknown", "不明"},
};

class OwnJapanese final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char * /*disambiguation*/,
                      int /*n*/) const override
    {
        if (!context || !sourceText)
            return {};
        for (const OwnText &text : OwnTexts)
            if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0)
                return QString::fromUtf8(text.japanese);
        return {};
    }

    bool isEmpty() const override { return false; }
};

} // namespace

bool installQtJapanese(QCoreApplication &app)
{
    // Owned by the application, which keeps it installed for the whole run.
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    if (!QCoreApplication::installTranslator(translator))
        return false;
    // Installed last, so asked first; it answers only what the toolkit's own file lacks.
    return QCoreApplication::installTranslator(new OwnJapanese(&app));
}

} // namespace qm::desktop
