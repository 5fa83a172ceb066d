// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The program's own messages and log texts, each written once.
 * Window captions live with the windows; these are the texts core code produces.
 */
#include <QString>

namespace obr::txt {

inline const QString fileNotFound = QStringLiteral("Указанный файл не существует");
inline const QString noPath = QStringLiteral("Не указан путь к файлу исходных данных");
inline const QString dataErrorInLine = QStringLiteral("Ошибка в данных в строке ");
inline const QString x2x1 = QStringLiteral("Параметры должны быть x2>x1");
inline const QString appCaption = QStringLiteral("ObrOtk");
inline const QString exceptional = QStringLiteral("Исключительная ситуация!");
inline const QString logStart = QStringLiteral("Ход решения");
inline const QString unknownCause = QStringLiteral("Не установл.");
inline const QString noFailures = QStringLiteral(
    "Данные об отказах не загружены: загрузите файл исходных данных кнопкой «Путь».");

//! How a box wants the fractional part of a number written, for the decimal separator \a dec.
inline QString fractionHint(QChar dec)
{
    return dec == u',' ? QStringLiteral("дробная часть пишется через запятую")
                       : QStringLiteral("дробная часть пишется через точку");
}

//! A box text that is no number; \a hint, when given, follows the box name.
inline QString notANumber(const QString &text, const QString &box = {}, const QString &hint = {})
{
    QString s = QStringLiteral("«%1» не является числом").arg(text);
    if (!box.isEmpty() && !hint.isEmpty())
        s += QStringLiteral(" (поле «%1»; %2)").arg(box, hint);
    else if (!box.isEmpty())
        s += QStringLiteral(" (поле «%1»)").arg(box);
    else if (!hint.isEmpty())
        s += QStringLiteral(" (%1)").arg(hint);
    return s;
}

inline QString notAnInteger(const QString &text, const QString &box = {})
{
    QString s = QStringLiteral("«%1» не является целым числом").arg(text);
    if (!box.isEmpty())
        s += QStringLiteral(" (поле «%1»)").arg(box);
    return s;
}

}   // namespace obr::txt
