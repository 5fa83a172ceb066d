// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Texts of the cohort window, each written once.
 */
#include <QString>

namespace obr::cohortui::txt {

inline const QString caption = QStringLiteral("Гарантийные когорты");
inline const QString tabTitle = QStringLiteral("5. Гарантийные когорты");
inline const QString tabButton = QStringLiteral("Анализ гарантийных когорт");
inline const QString tabHint = QStringLiteral(
    "Продажи по периодам и претензии по последующим периодам: закон Вейбулла с "
    "коэффициентом повторности, прогноз претензий и затрат по календарным периодам с "
    "интервалами, резерв, партии с отклонениями.");
inline const QString printRole = QStringLiteral("гарантийные когорты");

// Buttons
inline const QString open = QStringLiteral("Открыть таблицу...");
inline const QString openClaims = QStringLiteral("Открыть список претензий...");
inline const QString paste = QStringLiteral("Вставить из буфера");
inline const QString addRows = QStringLiteral("Добавить строки");
inline const QString calc = QStringLiteral("Расчет");
inline const QString stop = QStringLiteral("Стоп");
inline const QString exportCsv = QStringLiteral("Экспорт в CSV...");
inline const QString print = QStringLiteral("Печать");
inline const QString close = QStringLiteral("Продолж.");

// File choosers
inline const QString chooseTable = QStringLiteral("Таблица продаж и претензий");
inline const QString chooseClaims = QStringLiteral("Список претензий");
inline const QString chooseSales = QStringLiteral("Таблица продаж");
inline const QString tableFilter = QStringLiteral("Таблицы (*.csv *.txt *.tsv);;Все файлы (*)");
inline const QString csvFilter = QStringLiteral("Таблица CSV (*.csv)");
inline const QString csvCaption = QStringLiteral("Экспорт в CSV");
inline const QString noFile = QStringLiteral("Указанный файл не существует");
inline const QString cannotOpen = QStringLiteral("Не удалось открыть файл %1: %2");
inline const QString cannotWrite = QStringLiteral("Не удалось записать файл %1: %2");

// Grid
inline const QString colPeriod = QStringLiteral("Период");
inline const QString colUnits = QStringLiteral("Продано");
inline const QString colCause = QStringLiteral("Причина");
inline const QString gridTip = QStringLiteral(
    "Строка — период продаж: его метка, число проданных изделий и претензии по возрастам "
    "1, 2, … (первый возраст — сам период продажи) или по календарным периодам. Ячейки "
    "после конца данных пустые. Вставка из таблицы: Ctrl+V");
inline const QString legendLow = QStringLiteral("меньше ожидаемого (остаток < %1)");
inline const QString legendHigh = QStringLiteral("больше ожидаемого (остаток > %1)");
inline const QString legendCaution = QStringLiteral("внимание: p < %1");
inline const QString legendCritical = QStringLiteral("критично: p < %1");
inline const QString legendFlags = QStringLiteral(
    "Окрашенная метка строки — период продаж с отклонением, рамка ячеек — период претензий с "
    "отклонением (критерий X² Пирсона).");
inline const QString cellTip =
    QStringLiteral("Пришло %1, ожидается %2, стандартизованный остаток %3");
inline const QString lineTip = QStringLiteral("%1: X² = %2 при %3 ст. св., p = %4");
inline const QString noGrid = QStringLiteral("Таблица пуста: откройте файл или вставьте данные");

// Settings
inline const QString lbPeriod = QStringLiteral("Период");
inline const QString lbDataEnd = QStringLiteral("Конец данных");
inline const QString lbUsage = QStringLiteral("Интенсивность использования");
inline const QString lbRate = QStringLiteral("Часов за период");
inline const QString lbMedian = QStringLiteral("Медиана, ч за период");
inline const QString lbLogSd = QStringLiteral("Ср.квад.откл. логарифма");
inline const QString lbWarrantyPeriods = QStringLiteral("Гарантия, периодов");
inline const QString lbWarrantyHours = QStringLiteral("Гарантия, ч");
inline const QString lbAges = QStringLiteral("Возраст претензии");
inline const QString lbModel = QStringLiteral("Модель");
inline const QString lbLevel = QStringLiteral("Доверительная вероятность");
inline const QString lbHorizon = QStringLiteral("Горизонт, периодов");
inline const QString lbFuture = QStringLiteral("Будущие продажи");
inline const QString lbFutureUnits = QStringLiteral("Продажи по периодам");
inline const QString lbCost = QStringLiteral("Стоимость претензии");
inline const QString lbCostSd = QStringLiteral("Ср.квад.откл. стоимости");
inline const QString lbBacktest = QStringLiteral("Проверка прогноза: данные до");

inline const QString periodMonth = QStringLiteral("месяц");
inline const QString periodWeek = QStringLiteral("неделя");
inline const QString periodQuarter = QStringLiteral("квартал");
inline const QString usageFixed = QStringLiteral("постоянная");
inline const QString usageLognormal = QStringLiteral("логнормальный закон");
inline const QString usageSample = QStringLiteral("по наработкам претензий");
inline const QString futureNone = QStringLiteral("нет");
inline const QString futureLast = QStringLiteral("как в последнем периоде");
inline const QString futureTyped = QStringLiteral("по периодам");
inline const QString placeholderTableEnd = QStringLiteral("конец таблицы");
inline const QString placeholderNone = QStringLiteral("нет");
inline const QString placeholderWarrantyEnd = QStringLiteral("до конца гарантии");
inline const QString placeholderUnits = QStringLiteral("например 1000; 1200");

inline const QString tipPeriod = QStringLiteral("Длина периода продаж и претензий");
inline const QString tipDataEnd = QStringLiteral(
    "Последний период, данные которого учитываются (метка или номер, первый период продаж — "
    "1); пусто — последний период таблицы");
inline const QString tipUsage =
    QStringLiteral("Наработка изделия за период: одна для всех, логнормальный закон по медиане и "
                   "ср.квад.откл. логарифма или выборка по наработкам из списка претензий");
inline const QString tipRate =
    QStringLiteral("Часов работы за период; 1 — наработка измеряется в периодах");
inline const QString tipMedian = QStringLiteral("Медиана наработки за период, ч");
inline const QString tipLogSd =
    QStringLiteral("Ср.квад.откл. натурального логарифма наработки за период");
inline const QString tipWarrantyPeriods =
    QStringLiteral("Гарантийный срок в периодах от продажи; пусто — без ограничения");
inline const QString tipWarrantyHours = QStringLiteral(
    "Гарантийная наработка, ч: гарантия кончается по сроку или по наработке, что раньше; "
    "пусто — без ограничения");
inline const QString tipAges = QStringLiteral(
    "Интервал: претензия возраста a пришла за (a − 1, a] периодов службы (рекомендуется); "
    "конец периода: ровно a периодов, как в распространенных гарантийных программах");
inline const QString tipModel = QStringLiteral(
    "Повторные претензии: изделие может давать претензии многократно (K·F(t)); первые "
    "отказы: не более одной претензии на изделие");
inline const QString tipLevel =
    QStringLiteral("Доверительная вероятность границ, интервалов прогноза и резерва");
inline const QString tipHorizon = QStringLiteral(
    "Число прогнозируемых периодов после конца данных; пусто — до конца гарантии последней "
    "партии (не более десяти лет)");
inline const QString tipFuture = QStringLiteral(
    "Продажи после конца данных: нет, как в последнем периоде продаж или по периодам");
inline const QString tipFutureUnits =
    QStringLiteral("Изделий, продаваемых в каждом будущем периоде, через точку с запятой");
inline const QString tipCost =
    QStringLiteral("Средняя стоимость одной претензии; пусто — без прогноза затрат и резерва");
inline const QString tipCostSd =
    QStringLiteral("Ср.квад.откл. стоимости претензии; 0 или пусто — стоимость постоянная");
inline const QString tipBacktest = QStringLiteral(
    "Подбор по данным до этого периода (метка или номер) и его прогноз против пришедших "
    "претензий; пусто — без проверки");

// Settings read from the boxes
inline const QString notANumber = QStringLiteral("«%1» (%2) не является числом");
inline const QString notWhole = QStringLiteral("«%1» (%2) должно быть целым числом больше нуля");
inline const QString unknownPeriod = QStringLiteral("Период «%1» (%2) не найден в таблице");
inline const QString noSample = QStringLiteral(
    "Выборка наработок есть только у списка претензий с наработками: откройте такой список "
    "или выберите другую интенсивность использования");

// Run
inline const QString running = QStringLiteral("Расчет...");
inline const QString stopped = QStringLiteral("Расчет остановлен");
inline const QString done = QStringLiteral("Расчет выполнен");
inline const QString dataChanged =
    QStringLiteral("Таблица изменена после расчета: результаты относятся к прежним данным");

// Result tabs
inline const QString tabData = QStringLiteral("Данные");
inline const QString tabEstimates = QStringLiteral("Оценки");
inline const QString tabClaims = QStringLiteral("Претензии");
inline const QString tabForecast = QStringLiteral("Прогноз");
inline const QString tabCost = QStringLiteral("Затраты");
inline const QString tabBacktest = QStringLiteral("Проверка прогноза");
inline const QString tabMonitor = QStringLiteral("Отклонения");

// Estimates
inline const QString colFigure = QStringLiteral("Показатель");
inline const QString colEstimate = QStringLiteral("Оценка");
inline const QString colFisher = QStringLiteral("Границы\n(матрица Фишера)");
inline const QString colLr = QStringLiteral("Границы (отношение\nправдоподобия)");
inline const QString rowLoglik = QStringLiteral("ln L");
inline const QString rowDeviance = QStringLiteral("Девиация (p)");
inline const QString rowChi2 = QStringLiteral("X² Пирсона (p)");
inline const QString rowCells = QStringLiteral("Ячеек / ст. свободы");
inline const QString rowClaims = QStringLiteral("Претензий / продано изделий");
inline const QString summary =
    QStringLiteral("Модель: %1; %2; период: %3; конец данных: %4; доверительная вероятность %5");
inline const QString unbounded = QStringLiteral("не огр.");
inline const QString none = QStringLiteral("—");
inline const QString causeHeading = QStringLiteral("Причина «%1»");

// Forecast
inline const QString colExpected = QStringLiteral("Ожидается");
inline const QString colFromService = QStringLiteral("Из проданных");
inline const QString colFromSales = QStringLiteral("Из будущих\nпродаж");
inline const QString colPlugin = QStringLiteral("Интервал\n(подстановка)");
inline const QString colPredictive = QStringLiteral("Интервал\nпрогноза");
inline const QString colCumExpected = QStringLiteral("Нарастающим\nитогом");
inline const QString colCumPredictive = QStringLiteral("Интервал\nнараст. итога");
inline const QString colCost = QStringLiteral("Затраты");
inline const QString colCumCost = QStringLiteral("Затраты\nнараст. итогом");
inline const QString colObserved = QStringLiteral("Пришло");
inline const QString rowTotal = QStringLiteral("Всего");
inline const QString forecastTotal = QStringLiteral(
    "За %1 периодов после конца данных ожидается %2 претензий, интервал прогноза %3 (%4).");
inline const QString forecastCost = QStringLiteral(" Затраты: %1, интервал %2.");
inline const QString forecastReserve = QStringLiteral(" Резерв (квантиль %1): %2.");
inline const QString rowReserve = QStringLiteral("Резерв (квантиль %1)");
inline const QString backtestSummary = QStringLiteral(
    "Подбор по данным до %1; пришедшее число претензий в интервале прогноза в %2 из %3 "
    "периодов");
inline const QString noBacktest =
    QStringLiteral("Укажите в настройках период «Проверка прогноза: данные до» и выполните расчет");

// Monitoring
inline const QString colLine = QStringLiteral("Строка / столбец");
inline const QString colKind = QStringLiteral("Вид");
inline const QString kindRow = QStringLiteral("период продаж");
inline const QString kindColumn = QStringLiteral("период претензий");
inline const QString colX2 = QStringLiteral("X²");
inline const QString colDf = QStringLiteral("Ст. св.");
inline const QString colP = QStringLiteral("p");
inline const QString colFlag = QStringLiteral("Отметка");

// Charts
inline const QString claimsTitle = QStringLiteral("Претензии по календарным периодам");
inline const QString costTitle = QStringLiteral("Затраты на претензии нарастающим итогом");
inline const QString backtestTitle = QStringLiteral("Проверка прогноза по данным до %1");
inline const QString axisClaims = QStringLiteral("Претензий за период");
inline const QString axisCost = QStringLiteral("Затраты");
inline const QString axisPeriod = QStringLiteral("Период");
inline const QString seriesObserved = QStringLiteral("Пришло");
inline const QString seriesObservedAfter = QStringLiteral("Пришло после проверяемого конца данных");
inline const QString seriesExpected = QStringLiteral("Ожидается по модели и прогноз");
inline const QString seriesPredictive = QStringLiteral("Интервал прогноза %1");
inline const QString seriesPlugin = QStringLiteral("Интервал при подстановке оценок %1");
inline const QString seriesCumCost = QStringLiteral("Ожидаемые затраты");
inline const QString seriesCostBand = QStringLiteral("Интервал прогноза затрат %1");
inline const QString seriesReserve = QStringLiteral("Резерв %1");

}   // namespace obr::cohortui::txt
