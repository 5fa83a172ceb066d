// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's texts: its log lines and the messages of its settings.
 */
#include <QChar>
#include <QString>
#include <array>

namespace obr {

// ---------------------------------------------------------------------------------
// Texts of the optimiser's log lines

namespace gentxt {
inline const QString copyBest = QStringLiteral("Копирование лучших");
inline const QString genesCreated = QStringLiteral("Создано генов ");
inline const QString noFeasible =
    QStringLiteral("Генетический алгоритм не нашёл допустимых параметров модели");
inline const QString dataChanged = QStringLiteral(
    "Исходные данные изменились во время работы генетического алгоритма: его результат не "
    "показан");
}   // namespace gentxt

//! " ЦФ=%-9.5f  Beta=%-7.6f  A=%-9.3f   Кповт=%-9.6f" with Aopt[1], 1/Aopt[2], Aopt[3].
QString genBestLine(double x, const std::array<double, 5> &Aopt, QChar dec);
//! "F= %-8.3f S2" for the objective of the second child of a crossover.
QString genChildLine(double f, QChar dec);
//! "Создано генов N" (UpdMain).
QString genUpdMainLine(int genes);

namespace gentxt {
inline const QString precisionBox = QStringLiteral("Точность подбора");
inline const QString populationBox = QStringLiteral("Размер популяции");
inline const QString generationsBox = QStringLiteral("Число поколений");
//! The precision box's range, with the decimal separator \a dec.
inline QString precisionRange(QChar dec)
{
    return QStringLiteral("Точность подбора должна быть в пределах от 0") + dec +
           QStringLiteral("000000001 до 1: длина гена должна быть от 1 до 31 двоичного "
                          "разряда");
}
inline const QString populationTooSmall =
    QStringLiteral("Размер популяции должен быть не меньше 2");
inline const QString generationsTooFew = QStringLiteral("Число поколений должно быть не меньше 1");
inline const QString skoNotPositive =
    QStringLiteral("Среднее квадратическое отклонение гарантийного срока должно быть больше 0");
}   // namespace gentxt

}   // namespace obr
