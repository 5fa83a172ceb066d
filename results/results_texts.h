// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The texts of the results window and the enlarged chart, each written once.
 */
#include <QString>

namespace obr::rtxt {

// Results table: column captions
inline const QString colPirsN = QStringLiteral("Пирсона/Ньютона");
inline const QString colPirsS = QStringLiteral("Пирсона/спир.спуск");
inline const QString colSmirn = QStringLiteral("Смирнова ");
inline const QString colGenet = QStringLiteral("Генетическая");
inline const QString colMaxPr = QStringLiteral("Макс.правдоподобия");
inline const QString buttonMle = QStringLiteral("Доверит. границы");
inline const QString colData = QStringLiteral("Данные эксплуатации");

// Results table: row captions, rows 0..11
inline const QString rowCaptions[12] = {
    QStringLiteral("Параметры для моделей:"),       QStringLiteral("Парам.закона Вейбулла A/Beta"),
    QStringLiteral("Коэффициент повторности"),      QStringLiteral("Средняя наработка на отказ"),
    QStringLiteral("80%,90% наработка на отказ"),   QStringLiteral("Число известных/всех отказов"),
    QStringLiteral("Довер.95% инт./СКО модели"),    QStringLiteral("Средний срок гарантии"),
    QStringLiteral("Ср.квад.откл.срока гарантии"),  QStringLiteral("Критерий согласия модели"),
    QStringLiteral("Отказов после приработки при"), QStringLiteral("Отказов/изд. за гарант.срок"),
};
//! Continuation of the row-10 caption, in cell (1, 10).
inline const QString row10More = QStringLiteral("20%...100% гаран.срока");

// Units and joiners of the table texts
inline const QString hoursDot = QStringLiteral(" ч.");
inline const QString hoursDotComma = QStringLiteral(" ч., ");
inline const QString hours = QStringLiteral(" ч");
inline const QString observed = QStringLiteral(" (набл.)/");
inline const QString censored = QStringLiteral(" (ценз.)");
inline const QString hoursCensored = QStringLiteral(" ч.(ценз.)");
inline const QString perProduct100 = QStringLiteral("/издел. на 100 ч.");
inline const QString pieces = QStringLiteral(" шт.)");

//! The mark of a figure the data leave undetermined, wherever it is shown (table, legend,
//! log, exports).
inline const QString undeterminedMark = QStringLiteral(" (не определ.)");
//! Rows 7 and 8 of a model fitted with the warranty-times file's law.
inline const QString empiricalLaw = QStringLiteral("закон по файлу сроков");
//! The log line of models set aside because they belong to earlier data.
inline QString setAside(const QString &models)
{
    return QStringLiteral("Не показаны модели, полученные по ранее загруженным данным: ") + models;
}

//! The results window after another failure file was loaded.
inline QString earlierData(const QString &file)
{
    return QStringLiteral("Показаны результаты по ранее загруженным данным") +
           (file.isEmpty() ? QString() : QStringLiteral(" (") + file + u')') +
           QStringLiteral(". Для новых данных нажмите «Расчет»");
}

// Figures outside any sensible range (the formulas are kept; the user is told why)
inline const QString warning = QStringLiteral("Предупреждение: ");
inline QString fewFailures(int n)
{
    return warning + QStringLiteral("по %1 отказ(ам) параметры модели не определяются: наработки "
                                    "модели и критерий согласия ничего не говорят о надежности")
                         .arg(n);
}
inline QString farMeanTime(const QString &model, const QString &t, const QString &ratio,
                           const QString &observed)
{
    return warning +
           QStringLiteral("модель «%1»: средняя наработка на отказ %2 ч в %3 раз больше "
                          "наибольшей наработки в данных (%4 ч) — модель продолжена далеко "
                          "за данные, оценке доверять нельзя")
               .arg(model, t, ratio, observed);
}
inline QString heavyFailure(const QString &perItem, const QString &t, const QString &sigmas,
                            const QString &weight)
{
    return warning +
           QStringLiteral("отказов/изд. за гарант.срок %1: отказ на наработке %2 ч лежит на %3 СКО "
                          "за средним сроком гарантии, и при учете выбывания из гарантии он "
                          "считается за %4 отказов — больше, чем изделий в парке. Проверьте "
                          "наработку этого отказа и срок гарантии")
               .arg(perItem, t, sigmas, weight);
}
inline QString zeroShape(const QString &model, const QString &B)
{
    return warning + QStringLiteral("модель «%1»: параметр формы B = %2 — отказы на нулевой (или "
                                    "почти нулевой) наработке, закон Вейбулла к ним не подходит")
                         .arg(model, B);
}
inline QString allAtZero(int n)
{
    return warning +
           QStringLiteral(
               "все %1 отказ(ов) на наработке 0 ч: модели по таким данным не имеют смысла")
               .arg(n);
}

// Chart titles
inline const QString flowTitle =
    QStringLiteral("Изменение потока отказов в течение гарантийного периода");
inline const QString flowLeft = QStringLiteral("Отказов за 100 час на 1 изделие");
inline const QString outRight = QStringLiteral("Выбывание из гарантии, %");
inline const QString accTitle =
    QStringLiteral("Интегральные (накопленные) количественные оценки потока отказов");
inline const QString accLeft = QStringLiteral("Отказов на 1 изделие");
inline const QString corrTitle =
    QStringLiteral("Поток отказов наблюдаемых и с учетом выбывания из гарантии");
inline const QString corrLeft = QStringLiteral("Отказов за 100 час. на изделие");
inline const QString expandRight = QStringLiteral("Доля отказавших, выбывание из гарантии, %");

// Series titles
inline const QString sOutGar = QStringLiteral("Выбывание из гарантии");
inline const QString sPirsInfl = QStringLiteral("Модель по Пирсону с влиянием цензурирования");
inline const QString sPirsCens = QStringLiteral("Модель по Пирсону с учетом цензурирования");
inline const QString sPirs = QStringLiteral("Модель по Пирсону");
inline const QString sSmirn = QStringLiteral("Модель по Смирнову");
inline const QString sMaxPr = QStringLiteral("Модель 3 (макс. правдоподобия)");
inline const QString sGenet = QStringLiteral("Модель \"генетическая\"");
inline const QString sGenetInfl =
    QStringLiteral("Модель \"генетическая\" с влиянием цензурирования");
inline const QString sGenetCens = QStringLiteral("Модель генетическая с учетом цензурирования");
inline const QString sReal = QStringLiteral("Отказы (реальные)");
inline const QString sOutGarPct = QStringLiteral("Выбывание из гарантии, %");
inline const QString sOutGarExpl = QStringLiteral("Выбывание из гарантии эксп.");
inline const QString sAccumPct = QStringLiteral("Накопление отказов, % от машин");
inline const QString sUnknown = QStringLiteral("Не идент.");
inline const QString sUnknownCens = QStringLiteral("Не идент. с учетом цензурирования");
inline const QString withCensoring = QStringLiteral(" с учетом цензурирования");
inline const QString causeTotal = QStringLiteral(", всего ");
inline const QString causeCases = QStringLiteral("%)") + QStringLiteral(" случаев");

// Enlarged chart labels
inline const QString label4 =
    QStringLiteral("50%-я наработка на отказ по документированным случаям:");
inline const QString notEnoughData = QStringLiteral("- данных недостаточно для оценки");
inline const QString withoutCens = QStringLiteral("- без учета цензурирования: ");
inline const QString withCens = QStringLiteral("- с учетом цензурирования: ");
inline const QString piecesComma = QStringLiteral(" шт.,");
inline const QString failuresClose = QStringLiteral(" отказов)");

// The window's role in the name offered for its printed page
inline const QString printResults = QStringLiteral("результаты расчета");
inline const QString printExpand = QStringLiteral("поток отказов");

}   // namespace obr::rtxt
