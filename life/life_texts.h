// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Texts of the life-data analysis, each written once.
 */
#include <QString>

namespace obr::life::txt {

inline const QString noHeader = QStringLiteral(
    "Не найдена строка заголовка таблицы: нужен столбец наработки (например «Наработка» или "
    "«time») либо столбцы начала и конца интервала, и столбец состояния");
inline const QString utf16File = QStringLiteral(
    "Файл записан в кодировке UTF-16, она не читается: сохраните таблицу в UTF-8 или "
    "Windows-1251 (например, «CSV UTF-8» в табличном редакторе)");
inline const QString noRows = QStringLiteral("В таблице нет ни одной строки с данными");
inline const QString badRowsHead = QStringLiteral("Файл не загружен: ошибки в данных");
inline const QString moreBadRows = QStringLiteral("… и ещё строк с ошибками: %1");
inline const QString notANumber = QStringLiteral("«%1» не является числом");
inline const QString negativeTime = QStringLiteral("наработка не может быть отрицательной (%1)");
inline const QString noTime = QStringLiteral("не указана наработка");
inline const QString noState = QStringLiteral("не указано состояние");
inline const QString badState =
    QStringLiteral("непонятное состояние «%1» (ожидается F или S, 1 или 0, «отказ» или «приост.»)");
inline const QString badCount =
    QStringLiteral("количество «%1» должно быть целым числом не меньше 1");
inline const QString startAfterEnd = QStringLiteral("начало интервала (%1) больше его конца (%2)");
inline const QString suspensionInterval =
    QStringLiteral("приостановка задаётся одним временем, а не интервалом");
inline const QString dataErrorInLine = QStringLiteral("Ошибка в данных в строке %1: %2");

inline const QString noFailures = QStringLiteral(
    "В данных нет ни одного отказа: по одним приостановкам параметры распределения не "
    "оцениваются");
inline const QString zeroFailure = QStringLiteral(
    "Отказ при нулевой наработке (строка %1) невозможен для распределения «%2»: задайте "
    "его интервалом от 0 до времени первой проверки или выберите нормальное распределение");
inline const QString tooFewForRegression =
    QStringLiteral("Для регрессии по рангам нужны хотя бы два отказа с разной наработкой");
inline const QString regressionIntervals = QStringLiteral(
    "Регрессия по рангам строится только по точным отказам и приостановкам; для данных с "
    "интервалами выберите метод максимального правдоподобия");
inline const QString regressionDist = QStringLiteral(
    "Регрессия по рангам выполняется для распределений Вейбулла (2 параметра), "
    "экспоненциального, логнормального и нормального; для «%1» выберите метод максимального "
    "правдоподобия");
inline const QString tooFewDistinct =
    QStringLiteral("Для распределения «%1» нужны отказы хотя бы при двух разных наработках");
inline const QString noMaximum =
    QStringLiteral("Оценка максимального правдоподобия для распределения «%1» не существует: %2");
inline const QString noMaximumDegenerate =
    QStringLiteral("данные не ограничивают разброс (например, все отказы при одной наработке и нет "
                   "более поздних приостановок)");
inline const QString noMaximumDiverges = QStringLiteral("поиск максимума не сходится");
inline const QString notIdentified = QStringLiteral(
    "Данные не определяют параметры распределения «%1» по отдельности (например, все "
    "отказы найдены при одной проверке): добавьте точные наработки или проверки в разное "
    "время, или выберите распределение с меньшим числом параметров");
inline const QString locationAtFirstFailure = QStringLiteral(
    "Параметр положения трёхпараметрического распределения Вейбулла стремится к первому "
    "отказу (%1 ч), правдоподобие при этом неограниченно растёт (форма меньше 1): "
    "используйте двухпараметрическое распределение Вейбулла");
inline const QString locationAtLowerLimit = QStringLiteral(
    "Максимум правдоподобия трёхпараметрического распределения Вейбулла не достигается: "
    "правдоподобие растёт до нижней границы поиска параметра положения γ (%1 ч), форма β "
    "при этом растёт без конца. Данные не определяют положение: используйте "
    "двухпараметрическое распределение Вейбулла или нормальное");
inline const QString atLimitValue = QStringLiteral("граница поиска: %1");
inline const QString notEstimated = QStringLiteral("не оценивается");
inline const QString undeterminedMark = QStringLiteral("%1 (не определ.)");
inline const QString undeterminedNote = QStringLiteral(
    "Оценки помечены «не определ.»: в данных отказы только при одной наработке, разброс "
    "распределения определяется одними приостановками; границы и ресурсы не опираются на "
    "данные");
inline const QString profileOpen = QStringLiteral(
    "Профиль правдоподобия для %1 не замыкается: граница с этой стороны не ограничена");
inline const QString belowZero = QStringLiteral("≤ 0 (%1)");
inline const QString belowZeroNote = QStringLiteral(
    "Граница «≤ 0» для %1: профиль правдоподобия замыкается при отрицательном времени (указано "
    "в скобках), то есть граница не выше нуля");
inline const QString zeroStartNote = QStringLiteral(
    "Интервалы, начинающиеся с 0, для нормального распределения читаются как (0; конец], а не "
    "как цензурирование слева до минус бесконечности");
inline const QString normalFisherNote = QStringLiteral(
    "Границы ресурсов по Фишеру для нормального распределения построены по логарифму ресурса "
    "(дельта-метод для ln t), поэтому они положительны");
inline const QString rankBest = QStringLiteral("  ← лучшее");
inline const QString rankOnly =
    QStringLiteral("  ← единственное подобранное (сравнивать не с чем)");
inline const QString rankFlagged = QStringLiteral("  (не рекомендуется: %1)");
inline const QString flaggedLimit = QStringLiteral("максимум не достигается");
inline const QString flaggedUndetermined = QStringLiteral("оценки не определены данными");
inline const QString noneRecommended = QStringLiteral(
    "Ни одно распределение не оценено надёжно: показано первое из подобранных, его оценки "
    "помечены");
inline const QString badLevel =
    QStringLiteral("Доверительная вероятность должна быть больше 0 и меньше 1 (задано %1)");
inline const QString badPercent =
    QStringLiteral("Процент для ресурса B должен быть больше 0 и меньше 100 (задано %1)");
inline const QString badTime =
    QStringLiteral("Время для вероятности безотказной работы должно быть больше 0 (задано %1)");

}   // namespace obr::life::txt
