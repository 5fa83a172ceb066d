// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The texts of the maximum-likelihood window and report, each written once.
 */
#include <QString>

namespace obr::mtv {

inline const QString caption =
    QStringLiteral("Модель 3 (макс. правдоподобия): доверительные границы");
inline const QString colFigure = QStringLiteral("Показатель");
inline const QString colEstimate = QStringLiteral("Оценка");
inline const QString colLow = QStringLiteral("Нижняя граница");
inline const QString colHigh = QStringLiteral("Верхняя граница");
inline const QString unbounded = QStringLiteral("не ограничена");
inline const QString undetermined = QStringLiteral("не определ.");
inline const QString none = QStringLiteral("—");
inline const QString kindLr = QStringLiteral("по отношению правдоподобия");
inline const QString kindFisher = QStringLiteral("по информации Фишера");
inline const QString lawNormal = QStringLiteral("нормальный закон окончания гарантии");
inline const QString lawEmpirical =
    QStringLiteral("эмпирический закон окончания гарантии (файл сроков)");
//! "Границы 95% по отношению правдоподобия; нормальный закон ...; отказов 120"
inline QString heading(const QString &level, const QString &kind, const QString &law, int n)
{
    return QStringLiteral("Доверительные границы %1% %2; %3; отказов: %4")
        .arg(level, kind, law)
        .arg(n);
}

//! The heading while the bounds of another level are computed.
inline QString pendingHeading(const QString &level)
{
    return QStringLiteral("Доверительные границы %1% вычисляются…").arg(level);
}

// The command line's text of the bounds table: both kinds side by side
inline const QString colFisherLow = QStringLiteral("Нижняя (Фишер)");
inline const QString colFisherHigh = QStringLiteral("Верхняя (Фишер)");
inline const QString colLrLow = QStringLiteral("Нижняя (отн. правд.)");
inline const QString colLrHigh = QStringLiteral("Верхняя (отн. правд.)");
//! "Доверительные границы 95%; нормальный закон ...; отказов: 120"
inline QString bothHeading(const QString &level, const QString &law, int n)
{
    return QStringLiteral("Доверительные границы %1%; %2; отказов: %3").arg(level, law).arg(n);
}

// Figures, named as in the results table
inline const QString figB = QStringLiteral("Параметр закона Вейбулла Beta");
inline const QString figInvA = QStringLiteral("Параметр закона Вейбулла 1/A");
inline const QString figEta = QStringLiteral("Масштаб закона Вейбулла, ч");
inline const QString figK = QStringLiteral("Коэффициент повторности");
inline const QString figKA = QStringLiteral("Произведение K·A");
inline const QString figT05 = QStringLiteral("Средняя наработка на отказ, ч");
inline const QString figT02 = QStringLiteral("80% наработка на отказ, ч");
inline const QString figT01 = QStringLiteral("90% наработка на отказ, ч");
inline const QString figMtGar = QStringLiteral("Отказов/изд. за гарант.срок");
inline const QString figPerProduct = QStringLiteral("Учтенных отказов/изд. за гарантию");
inline const QString figFleet = QStringLiteral("Учтенных отказов на парк");
inline const QString figSred = QStringLiteral("Средний срок гарантии, ч");
inline const QString figSKO = QStringLiteral("Ср.квад.откл.срока гарантии, ч");
inline const QString figLoglik = QStringLiteral("Логарифм правдоподобия");
inline const QString figAIC = QStringLiteral("Критерий Акаике AIC");
inline const QString figBIC = QStringLiteral("Байесовский критерий BIC");
inline QString figChi2(int df) { return QStringLiteral("Критерий X² (ст. свободы: %1)").arg(df); }
inline QString figDeviance(int df) { return QStringLiteral("Девиация (ст. свободы: %1)").arg(df); }
inline const QString figKolm = QStringLiteral("Критерий Колмогорова");
inline QString pValue(const QString &p) { return QStringLiteral("p = ") + p; }

// Causes
inline const QString colCause = QStringLiteral("Причина");
inline const QString colCauseN = QStringLiteral("Отказов");
inline const QString colCauseB = QStringLiteral("Beta\n[границы]");
inline const QString colCauseT01 = QStringLiteral("90% наработка, ч\n[границы]");
inline const QString colCauseM = QStringLiteral("Отказов/изд. за\nгарант.срок [границы]");
inline const QString colCauseKind = QStringLiteral("Характер");
inline const QString earlyFailure = QStringLiteral("приработочный");
inline const QString wearOut = QStringLiteral("износовый");
inline const QString randomFailure = QStringLiteral("случайный");
inline const QString notFitted = QStringLiteral("не подобрана");
inline const QString unknownCause = QStringLiteral("Не установл.");
inline const QString causesTitle =
    QStringLiteral("Причины отказов (не менее 5 отказов), подобранные отдельно");
inline const QString noCauses = QStringLiteral("Нет причин отказов с 5 и более отказами");

// Charts
inline const QString probTitle =
    QStringLiteral("Вероятностная бумага Вейбулла: накопленные отказы и модель 3");
inline const QString probBottom = QStringLiteral("Наработка, ч (логарифмическая шкала)");
inline const QString probLeftKF = QStringLiteral("Доля отказов M/K, % (шкала Вейбулла)");
inline const QString probLeftM = QStringLiteral("Отказов на 1 изделие (логарифм. шкала)");
inline const QString probObserved =
    QStringLiteral("Накопленные отказы с учетом выбывания из гарантии");
inline const QString probModel = QStringLiteral("Модель 3 (макс. правдоподобия)");
//! The band's legend entry names its level and kind.
inline QString probBand(const QString &level, bool lr)
{
    return (lr ? QStringLiteral("Поточечная %1% полоса (отнош. правдоподобия)")
               : QStringLiteral("Поточечная %1% полоса (Фишер)"))
        .arg(level);
}
inline const QString causesChartTitle =
    QStringLiteral("Поток отказов по причинам: наблюдаемый и модели причин");
inline const QString perProduct100 = QStringLiteral("Отказов за 100 час на 1 изделие");
inline const QString hoursAxis = QStringLiteral("Наработка, ч");
inline const QString modelSuffix = QStringLiteral(" — модель");
inline const QString obsExpTitle =
    QStringLiteral("Наблюдаемые и ожидаемые по модели 3 отказы в интервалах");
inline const QString countAxis = QStringLiteral("Отказов в интервале");
inline const QString obsBars = QStringLiteral("Наблюдаемые отказы");
inline const QString expLine = QStringLiteral("Ожидаемые по модели 3");
inline const QString poissonBand = QStringLiteral("95% интервал Пуассона");

}   // namespace obr::mtv
