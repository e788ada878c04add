#pragma once

#include "app/cli/commandline.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>

// Runs an export or import command line in this process as the terminal would, keeping what it
// says for the test to read.
class ExchangeRunTest : public QObject
{
protected:
    QString m_messages;

    int run(const QStringList &arguments)
    {
        m_messages.clear();
        QTextStream err(&m_messages);
        const qm::app::CommandLine line = qm::app::parseCommandLine(arguments);
        if (line.mode == qm::app::CommandLine::Mode::BadUsage)
            return qm::app::reportBadUsage(line, err);
        return qm::app::runExchange(line.exchange, err);
    }
};
