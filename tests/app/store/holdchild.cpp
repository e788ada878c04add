// Another program holding a dictionary: reads one command a line from its input and answers
// each with one line ("ok", a number, or "error <reason>").
//   open <path> | begin | add <keyword> | big <keyword> | commit | count <pattern> | close
// ("big" adds an entry with a body of 1 MB.)

#include "app/store/dictionary/dictionary.h"

#include "platform/sqlite/likepattern.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

using qm::store::Dictionary;

namespace {

QString run(std::unique_ptr<Dictionary> &d, const QString &command, const QString &argument)
{
    if (command == QLatin1String("open")) {
        d = std::make_unique<Dictionary>(argument);
    } else if (command == QLatin1String("close")) {
        d.reset();
    } else if (command == QLatin1String("begin")) {
        d->beginEditSession();
    } else if (command == QLatin1String("commit")) {
        d->commitEditSession();
    } else if (command == QLatin1String("add") || command == QLatin1String("big")) {
        qm::store::Entry e;
        e.Viewer = 1;
        e.Heading = argument;
        if (command == QLatin1String("big"))
            e.Document = QByteArray(1 << 20, 'b');
        d->addEntry(e, {argument});
    } else if (command == QLatin1String("count")) {
        const auto pattern = qm::sqlite::LikePattern::compile(argument);
        return QString::number(d->searchKeyword(*pattern, 100000, [](const qm::store::KeywordMatch &) {}));
    } else {
        return QStringLiteral("error unknown command");
    }
    return QStringLiteral("ok");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<Dictionary> dictionary;
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString text = QString::fromStdString(line);
        const qsizetype space = text.indexOf(QLatin1Char(' '));
        QString answer;
        try {
            answer = run(dictionary, text.left(space), space < 0 ? QString() : text.mid(space + 1));
        } catch (const qm::sqlite::Error &e) {
            answer = QStringLiteral("error ") + e.message();
        }
        std::printf("%s\n", answer.toUtf8().constData());
        std::fflush(stdout);
    }
    return 0;
}
