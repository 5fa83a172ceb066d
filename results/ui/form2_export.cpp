// SPDX-License-Identifier: MIT
// The results window's «Экспорт в CSV…».
#include "form2.h"

#include "chart/export.h"
#include "export/csv.h"
#include "model/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

void TForm2::ExportCsvClick()
{
    if (m_earlier)
        return;   // the figures shown are not those of the loaded data
    const QString filter = QStringLiteral("Таблица CSV (*.csv)");
    const QString start = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                              .filePath(QStringLiteral("obrotk-results.csv"));
    QString path = obr::exportDialogs().saveFileName(this, QStringLiteral("Экспорт в CSV"), filter,
                                                     start, nullptr);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    try {
        const std::optional<obr::NonparamResult> np = obr::nonparamOf(*m_state, m_nl);
        const QByteArray bytes = obr::resultsCsv(*m_state, m_view.table, np ? &*np : nullptr, m_nl);
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
            throw obr::UserError(QStringLiteral("Не удалось записать файл %1: %2")
                                     .arg(QDir::toNativeSeparators(path), f.errorString()));
    } catch (const obr::UserError &e) {
        obr::exportDialogs().failed(this, e.message());
    } catch (const std::bad_alloc &e) {
        obr::exportDialogs().failed(this, obr::userMessage(e));
    }
}
