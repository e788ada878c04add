#pragma once

#include "exchangeparts.h"

#include "app/exchange/exporter.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace qm::store {
class TargetFile;
}

namespace qm::app {

// Writes entries of the open set to a file: one dictionary, the whole set or the rows of the
// result list, as the dictionary's exchange format (.jsonl) or as one HTML page (.html).
class frmExport final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmExport)

public:
    // `rows` are the result list's rows; the choice of exporting them is disabled without any.
    frmExport(store::DatabaseModule &database, QList<exchange::EntryRef> rows, ExchangeServices services,
              QWidget *parent = nullptr);

    QRadioButton *optDictionary = nullptr;
    QComboBox *cboDictionary = nullptr;
    QRadioButton *optSet = nullptr;
    QRadioButton *optRows = nullptr;
    QComboBox *cboFormat = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void buildControls();
    void exportChosen();
    QString suggestedName() const;
    // Writes the chosen entries to the file; the number written, or nullopt after a message.
    std::optional<qint64> write(const QString &path);
    // Writes and commits; the failure in words, empty on success.
    QString writeTo(store::TargetFile &out, const exchange::ExportOptions &options);
    void writeChosen(QIODevice &out, const exchange::ExportOptions &options);

    store::DatabaseModule &m_database;
    QList<exchange::EntryRef> m_rows;
    ExchangeServices m_services;
};

} // namespace qm::app
