// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Texts of the warranty cohorts, each written once.
 */
#include <QString>

namespace obr::cohort::txt {

/*! The title of a figure of the fit table, by its JSON key; \a dec is the decimal
 *  separator of the levels in the titles, \a repeat whether the model has K. */
QString figureTitle(const QString &key, QChar dec = u'.', bool repeat = true);

// Reading the table
inline const QString noHeader = QStringLiteral(
    "Не найдена строка заголовка таблицы: нужны столбцы «период» и «продано», затем возрасты "
    "1, 2, … или периоды претензий");
inline const QString noRows = QStringLiteral("В таблице нет ни одной строки с продажами");
inline const QString cellError = QStringLiteral("Ошибка в таблице, строка %1 («%2»), столбец %3 "
                                                "(«%4»): %5");
inline const QString rowError = QStringLiteral("Ошибка в таблице, строка %1 («%2»): %3");
inline const QString notACount =
    QStringLiteral("«%1» не является целым неотрицательным числом претензий");
inline const QString negativeCount =
    QStringLiteral("число претензий не может быть отрицательным (%1)");
inline const QString fractionCount = QStringLiteral("число претензий должно быть целым (%1)");
inline const QString noUnits = QStringLiteral("не указано число проданных изделий");
inline const QString badUnits =
    QStringLiteral("число проданных изделий «%1» должно быть целым числом больше нуля");
inline const QString beforeSale =
    QStringLiteral("претензии в периоде до продажи (%1): изделия этой строки еще не проданы");
inline const QString afterDataEnd = QStringLiteral(
    "претензии после конца данных (%1): последняя строка задает конец данных, ячейки справа от "
    "него должны быть пустыми");
inline const QString overUnits = QStringLiteral(
    "претензий (%1) больше, чем продано изделий (%2), а в модели первых отказов изделие "
    "отказывает не более одного раза");
inline const QString pastWarranty =
    QStringLiteral("претензии после окончания гарантии (возраст %1 при гарантии %2 периодов)");
inline const QString pastWarrantyHours = QStringLiteral(
    "претензии после окончания гарантии по наработке: возраст %1 начинается с %2 ч, а "
    "гарантия — %3 ч");
inline const QString periodsOutOfOrder =
    QStringLiteral("периоды продаж должны идти по порядку: «%1» не позже предыдущего «%2»");
inline const QString unknownPeriod =
    QStringLiteral("период «%1» не найден среди периодов претензий в заголовке");
inline const QString causeUnitsDiffer = QStringLiteral(
    "для разных причин одного периода продаж указано разное число изделий (%1 и %2)");

// Building the table from a claims list
inline const QString listLineError = QStringLiteral("Ошибка в файле %1, строка %2, столбец %3: %4");
inline const QString claimsFile = QStringLiteral("претензий");
inline const QString salesFile = QStringLiteral("продаж");
inline const QString badDate =
    QStringLiteral("«%1» не является датой (ожидается 2024-03-15 или 15.03.2024)");
inline const QString claimBeforeSale = QStringLiteral("дата претензии %1 раньше даты продажи %2");
inline const QString saleNotInSales =
    QStringLiteral("период продажи %1 отсутствует в таблице продаж");
inline const QString salesOutOfOrder =
    QStringLiteral("периоды продаж должны идти по порядку: %1 не позже предыдущего %2");
inline const QString claimAfterDataEnd = QStringLiteral("претензия %1 позже конца данных %2");
inline const QString badHours = QStringLiteral("наработка «%1» должна быть числом больше нуля");
inline const QString noClaimsList = QStringLiteral("В списке претензий нет ни одной претензии");

// Settings
inline const QString badLevel =
    QStringLiteral("Доверительная вероятность должна быть больше 0 и меньше 1.");
inline const QString badDataEnd = QStringLiteral(
    "Конец данных должен быть одним из периодов таблицы, не позже ее последнего периода.");
inline const QString badBacktest = QStringLiteral(
    "Период проверки прогноза должен быть раньше конца данных и не раньше первого периода "
    "продаж.");
inline const QString badWarranty =
    QStringLiteral("Гарантийный срок в периодах должен быть целым числом больше нуля, а в часах — "
                   "числом больше нуля.");
inline const QString badUsage = QStringLiteral(
    "Интенсивность использования должна быть больше нуля: часы за период, медиана и ср.квад.откл. "
    "логарифма, или выборка положительных значений.");
inline const QString badHorizon =
    QStringLiteral("Горизонт прогноза должен быть от 1 до %1 периодов (десять лет).");
inline const QString badFuture =
    QStringLiteral("Будущие продажи должны быть неотрицательными числами изделий по периодам.");
inline const QString badCost = QStringLiteral(
    "Стоимость претензии должна быть больше нуля, ее ср.квад.откл. — не меньше нуля.");
inline const QString badDraws =
    QStringLiteral("Число розыгрышей для интервалов прогноза должно быть от 100 до 1000000.");
inline const QString unknownDataEnd = QStringLiteral("Период «%1» не найден в таблице.");

// The fit
inline const QString noClaims =
    QStringLiteral("В таблице нет ни одной претензии: параметры закона не оцениваются.");
inline const QString oneAge =
    QStringLiteral("Для оценки параметров нужны претензии хотя бы в двух разных возрастах.");
inline const QString noMaximum = QStringLiteral(
    "Максимум правдоподобия не найден: при данных гарантийных ограничениях и интенсивности "
    "использования правдоподобие не вычисляется.");
inline const QString ridge = QStringLiteral(
    "Данные не различают коэффициент повторности K и параметр A: за время гарантии F(t) "
    "остается малой, и определены только произведение K·A и параметр B. Прогноз претензий "
    "и число претензий на изделие за гарантию определены.");
inline const QString limit = QStringLiteral(
    " Максимум правдоподобия не достигается: он уходит вдоль гребня, показана предельная "
    "точка на границе диапазона K.");
inline const QString notPositiveDefinite = QStringLiteral(
    "Матрица Фишера не положительно определена: границы Фишера не вычислены, интервалы "
    "прогноза учитывают только случайность числа претензий.");
inline const QString lawPerProduct = QStringLiteral(
    "При модели первых отказов с законом интенсивности использования границы отношения "
    "правдоподобия для претензий на изделие не вычисляются.");
inline const QString causeFailed = QStringLiteral("Причина «%1»: %2");

// Headings of the text output and the window
inline const QString modelRepeat = QStringLiteral("повторные претензии");
inline const QString modelFirst = QStringLiteral("первые отказы");
inline const QString agesInterval = QStringLiteral("возраст — интервал периода");
inline const QString agesEnd = QStringLiteral("возраст — конец периода");
inline const QString flagCaution = QStringLiteral("внимание");
inline const QString flagCritical = QStringLiteral("критично");

}   // namespace obr::cohort::txt
