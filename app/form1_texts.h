// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The texts of the main window: captions, hints, placeholders, dialog filters.
 * Each exact text is written once here.
 */
#include <QString>

namespace obr::form1txt {

//! The application title: a short name, version and year (the task bar shows it).
inline const QString appTitle = QStringLiteral("ObrOtk 1.0 (2026)");
//! The main window's caption ends with the application title, so window systems that
//! append the title to captions do not repeat it.
inline const QString caption = QStringLiteral("Анализ надежности в эксплуатации.  ") + appTitle;

// Panel1: failure data file
inline const QString Label1 = QStringLiteral("Файл исходных данных:");
inline const QString OpenFileStart = QStringLiteral("Путь");
inline const QString OpenFileStartHint = QStringLiteral(
    "Файл содержит строки комментария, среднего времени окончания гарантии, СКО гарантии, "
    "парка, числа всех отказов и массив времен отказов");
inline const QString Label2 =
    QStringLiteral("Общее количество объектов в гарантийной эксплуатации");
inline const QString Label3 = QStringLiteral("Количество несвязных отказов 2-3 групп сложности");
inline const QString meSred = QStringLiteral(" Среднее время гарантии");
inline const QString meSKO = QStringLiteral(" СКО времени гарантии");
inline const QString LabeledEdit2 = QStringLiteral(" Период учета отказов на 1 изделие, ч");
inline const QString observationHint = QStringLiteral("Среднее время наблюдений");

// Tab 1
inline const QString tab1 = QStringLiteral("1. Подбор параметров распределения (основной)");
inline const QString Label4 = QStringLiteral("Особенности  расчета параметров модели");
inline const QString Label5 = QStringLiteral("Коэф-т уменьшения шага модели 1.1");
inline const QString Label17 = QStringLiteral("Коэф-т уменьшения шага модели 1.2");
inline const QString Label16 = QStringLiteral("Коэф-т уменьшения шага модели 2");
inline const QString stepPlaceholder = QStringLiteral("Минимум попадпний в столбец гистограммы");
inline const QString SpirSpusk = QStringLiteral("Модель 1.1 по Пирсону, метод спирального спуска ");
inline const QString BoxNewton = QStringLiteral("Модель 1.2 по Пирсону, метод Ньютона ");
inline const QString BoxSmirnow = QStringLiteral("Модель 2 (по Смирнову)");
inline const QString Sred_flag = QStringLiteral("Подбор СВН");
inline const QString SKO_Flag = QStringLiteral("Подбор СКО");
inline const QString RadioGroup1 = QStringLiteral("Критерии подбора закона распределения");
inline const QString criterion[3] = {QStringLiteral("Стандарт"), QStringLiteral("Спец 1"),
                                     QStringLiteral("Спец 2")};
// The maximum-likelihood model and its options (compact: two lines left of «Расчет»)
inline const QString BoxMaxPr = QStringLiteral("Модель 3 (макс.\nправдоподобия)");
inline const QString BoxMaxPrHint =
    QStringLiteral("Модель 3 (макс. правдоподобия): подбор параметров по всем временам отказов, "
                   "доверительные границы каждой оценки, анализ по причинам отказов");
inline const QString MleLevelHint = QStringLiteral("Доверительная вероятность границ модели 3");
inline const QString MleLawHint = QStringLiteral(
    "Закон окончания гарантии для модели 3: нормальный по среднему и СКО или эмпирический "
    "по загруженному файлу сроков гарантии");
inline const QString MleLawHintNoFile =
    QStringLiteral("Эмпирический закон доступен после загрузки файла сроков гарантии");
inline const QString MleKindHint = QStringLiteral(
    "Вид доверительных границ модели 3: по отношению правдоподобия или по информации Фишера");
inline const QString mleLaws[2] = {QStringLiteral("норм."), QStringLiteral("эмп.")};
inline const QString mleKinds[2] = {QStringLiteral("ОП"), QStringLiteral("Фиш.")};
inline const QString mleLawsFull[2] = {QStringLiteral("нормальный закон гарантии"),
                                       QStringLiteral("эмпирический закон (файл сроков)")};
inline const QString mleKindsFull[2] = {QStringLiteral("по отношению правдоподобия"),
                                        QStringLiteral("по информации Фишера")};
constexpr double mleLevels[4] = {0.8, 0.9, 0.95, 0.99};
inline const QString bbRaschet = QStringLiteral("Расчет");
inline const QString StopCalcBtn = QStringLiteral("Стоп");
inline const QString StopCalcHint = QStringLiteral("Прервать расчет");
//! The progress line of a running calculation: the method and its place in the run.
inline QString calcStage(const QString &method, int index, int count)
{
    return QStringLiteral("%1 (%2 из %3)").arg(method).arg(index + 1).arg(count);
}
inline const QString calcPreparing = QStringLiteral("Подготовка данных");
//! The progress line while the maximum-likelihood bounds of a new level are computed.
inline QString mleBoundsStage(const QString &level)
{
    return QStringLiteral("Границы модели 3: %1%").arg(level);
}
inline const QString calcCancelled = QStringLiteral("Расчет прерван пользователем");

// Tab 2
inline const QString tab2 = QStringLiteral("2. Генетический алгоритм");
inline const QString Edit2Label = QStringLiteral("Точность подбора");
inline const QString Edit3Label = QStringLiteral("Размер популяции");
inline const QString NPokolenyLabel = QStringLiteral("Число поколений");
inline const QString ToolBRunGenOptim = QStringLiteral("Расчет (генетический алгоритм)");
inline const QString StopBtn = QStringLiteral("Stop");
inline const QString Label18 = QStringLiteral("Ход расчета");
inline const QString Label7 = QStringLiteral("Вероятность скрещивания");
inline const QString Label8 = QStringLiteral("Вероятность мутаций");
inline const QString btnCopyBest = QStringLiteral("Скопировать лучших");
inline const QString LabeledEdit1Label = QStringLiteral("шт.");
inline const QString LabeledEdit1Placeholder =
    QStringLiteral("Скопировать из популяции лучшие варианты и убрать столько же худших");
inline const QString CheckBoxProm = QStringLiteral("Вывод хода расчета");
inline const QString SaveFileBTN = QStringLiteral("Вывод в файл");

// Tab 3
inline const QString tab3 = QStringLiteral("3. Непараметрич. обработка");
inline const QString Button1 = QStringLiteral("Анализ непараметрический");

// Panel4: warranty-times file
inline const QString Label9 = QStringLiteral("Файл данных по гарантийным срокам:");
inline const QString SpeedButton1 = QStringLiteral("File");
inline const QString Label15 = QStringLiteral("Комментарий");
inline const QString Label11 = QStringLiteral("Количество объектов для анализа");
inline const QString Label14 = QStringLiteral("Результат расчета параметров гарантийного срока");
inline const QString Label12 = QStringLiteral("Среднее время гарантии, ч.");
inline const QString Label13 = QStringLiteral("СКО времени гарантии, ч.");

inline const QString Mass_ListHint = QStringLiteral("Данные из файла об отказах изделий");

// Dialog filters (Qt name filters)
inline const QString failureFilter = QStringLiteral("Файл данных по отказам (*.fdt)");
inline const QString warrantyFilter = QStringLiteral("Файл времен гарантии (gar*.txt)");

inline const QString linkFile = QStringLiteral("linkFdt.txt");

inline QString cannotWrite(const QString &file, const QString &why)
{
    return QStringLiteral("Не удалось записать файл «%1»: %2").arg(file, why);
}
inline QString cannotRead(const QString &file, const QString &why)
{
    return QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(file, why);
}

//! Added to a refused failure file's message when earlier data stay loaded.
inline QString earlierDataKept(const QString &file)
{
    return QStringLiteral("Загруженные ранее данные из файла «%1» сохранены.").arg(file);
}
//! Added to a refused warranty file's message: the boxes keep what they held.
inline const QString earlierWarrantyKept =
    QStringLiteral("Прежние значения среднего времени и СКО гарантии сохранены.");

inline QString fileTooLarge(const QString &file, qint64 mib, qint64 limitMib)
{
    return QStringLiteral("Файл «%1» слишком велик (%2 МБ): допускается не больше %3 МБ")
        .arg(file)
        .arg(mib)
        .arg(limitMib);
}

// A new failure file and the results of earlier data
//! The warranty-times law is not carried over to another fleet's failures unasked.
inline const QString mleLawReset = QStringLiteral(
    "Загружены другие данные по отказам: для модели 3 снова выбран нормальный закон гарантии "
    "(закон по файлу сроков выберите заново, если он относится к этим данным)");
//! The law chosen differs from that of the maximum-likelihood fit shown.
inline const QString mleLawChanged =
    QStringLiteral("Закон гарантии изменен: границы модели 3 относятся к прежнему закону, "
                   "нажмите «Расчет»");
//! The maximum-likelihood fit of earlier data is not offered beside the loaded ones.
inline const QString mleSetAside = QStringLiteral(
    "Модель 3 (макс. правдоподобия) получена по ранее загруженным данным: границы не показываются");

}   // namespace obr::form1txt
