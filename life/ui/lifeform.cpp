// SPDX-License-Identifier: MIT
#include "life/ui/lifeform.h"

#include "chart/printing.h"
#include "desktop/tablecopy.h"
#include "desktop/worker.h"
#include "life/format.h"
#include "life/life_texts.h"
#include "life/ranks.h"
#include "life/reader.h"
#include "life/ui/plotpainter.h"
#include "model/errors.h"
#include "model/seams.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace obr::lifeui {

using namespace obr::life;

namespace {
const QString kCaption = QStringLiteral("Данные с приостановками");
const QString kGridHeader =
    QStringLiteral("Наработка, ч\tКонец интерв., ч\tСостояние\tКол-во\tF, % (ранги)");
const QString kReadHeader = QStringLiteral("Начало\tКонец\tСостояние\tКол-во");

QString stateText(Obs k)
{
    return k == Obs::Suspension ? QStringLiteral("приост.") : QStringLiteral("отказ");
}

QString plain(double v) { return QLocale::c().toString(v, 'g', 15); }

//! What a fit runs on: a copy of the window's data and choices.
struct FitInput {
    LifeData data;
    LifeOptions options;
    bool all = false;
};

//! What it hands back.
struct FitOutput {
    LifeFit fit;
    std::vector<RankEntry> ranking;
    bool all = false;
    bool recommended = true;
};

FitOutput runFit(const FitInput &in, WorkControl &control)
{
    LifeOptions o = in.options;
    o.stop = &control.stopFlag();
    o.progress = [&control](int done, int total) { control.progress(done, total); };
    FitOutput out;
    out.all = in.all;
    if (in.all) {
        LifeAll all = fitAllLife(in.data, o);
        out.fit = std::move(all.best);
        out.ranking = std::move(all.ranking);
        out.recommended = all.recommended;
    } else {
        out.fit = fitLife(in.data, o);
    }
    return out;
}
}   // namespace

ProbabilityPlotWidget::ProbabilityPlotWidget(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(420, 320);
}

void ProbabilityPlotWidget::setPlot(std::optional<ProbabilityPlot> plot)
{
    m_plot = std::move(plot);
    update();
}

void ProbabilityPlotWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (m_plot)
        paintProbabilityPlot(p, QRectF(rect()), *m_plot, QLocale().decimalPoint().at(0));
}

LifeForm::LifeForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("LifeForm"));
    setWindowTitle(kCaption);
    resize(1180, 660);

    LifeGrid = new QTableWidget(40, 5, this);
    LifeGrid->setObjectName(QStringLiteral("LifeGrid"));
    LifeGrid->setHorizontalHeaderLabels(kGridHeader.split(u'\t'));
    LifeGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    LifeGrid->verticalHeader()->setDefaultSectionSize(22);
    // At least as wide as the column's caption in the font the user has.
    const int gridWidths[] = {95, 105, 80, 55, 95};
    for (int c = 0; c < LifeGrid->columnCount(); ++c)
        LifeGrid->setColumnWidth(
            c, std::max(gridWidths[c], LifeGrid->horizontalHeader()->sectionSizeHint(c)));
    LifeGrid->setToolTip(QStringLiteral(
        "Наработка отказа или приостановки; для отказа, найденного при проверке, — начало и "
        "конец интервала. Состояние: отказ (F, 1) или приост. (S, 0). Вставка из таблицы: "
        "Ctrl+V"));

    auto button = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    btnOpen = button("btnOpen", QStringLiteral("Открыть файл..."));
    btnPaste = button("btnPaste", QStringLiteral("Вставить из буфера"));
    btnAddRows = button("btnAddRows", QStringLiteral("Добавить строки"));
    btnFit = button("btnFit", QStringLiteral("Расчет"));
    QFont bf = btnFit->font();
    bf.setBold(true);
    btnFit->setFont(bf);
    btnStop = button("btnStop", QStringLiteral("Стоп"));
    btnStop->setEnabled(false);
    pbFit = new QProgressBar(this);
    pbFit->setObjectName(QStringLiteral("pbFit"));
    pbFit->setRange(0, 1);
    pbFit->setValue(0);
    pbFit->setTextVisible(false);
    btnPrint = button("btnPrint", QStringLiteral("Печать"));
    btnClose = button("btnClose", QStringLiteral("Продолж."));

    cbDist = new QComboBox(this);
    cbDist->setObjectName(QStringLiteral("cbDist"));
    for (Dist d : allDists())
        cbDist->addItem(distName(d), distKey(d));
    cbDist->addItem(QStringLiteral("Подобрать все"), QStringLiteral("all"));
    cbEstimator = new QComboBox(this);
    cbEstimator->setObjectName(QStringLiteral("cbEstimator"));
    for (Estimator e : {Estimator::MLE, Estimator::RRX, Estimator::RRY})
        cbEstimator->addItem(estimatorName(e), estimatorKey(e));
    auto edit = [&](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    const QLocale loc;
    edLevel = edit("edLevel", loc.toString(0.95));
    edBLives = edit("edBLives", QStringLiteral("1; 10; 50"));
    edTimes = edit("edTimes", QString());
    edTimes->setPlaceholderText(QStringLiteral("например 500; 1000"));

    LifeResults = new QTableWidget(0, 4, this);
    LifeResults->setObjectName(QStringLiteral("LifeResults"));
    LifeResults->setHorizontalHeaderLabels({QStringLiteral("Показатель"), QStringLiteral("Оценка"),
                                            QStringLiteral("Границы\n(матрица Фишера)"),
                                            QStringLiteral("Границы (отношение\nправдоподобия)")});
    LifeResults->horizontalHeader()->setStretchLastSection(true);
    LifeResults->verticalHeader()->setDefaultSectionSize(22);
    LifeResults->verticalHeader()->hide();
    LifeResults->setColumnWidth(0, 170);
    LifeResults->setColumnWidth(1, 90);
    LifeResults->setColumnWidth(2, 200);
    LifeResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Ctrl+C and «Копировать» give the results as cells, with their captions.
    obr::installTableCopy(LifeResults);
    lbSummary = new QLabel(this);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);
    LifePlot = new ProbabilityPlotWidget(this);
    LifePlot->setObjectName(QStringLiteral("LifePlot"));

    // Layout: grid and choices on the left, results and the plot on the right.
    auto *left = new QWidget(this);
    auto *lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    auto *files = new QHBoxLayout;
    files->addWidget(btnOpen);
    files->addWidget(btnPaste);
    files->addWidget(btnAddRows);
    lv->addLayout(files);
    lv->addWidget(LifeGrid, 1);
    auto *form = new QGridLayout;
    auto addRow = [&](int r, const QString &label, QWidget *w) {
        form->addWidget(new QLabel(label, this), r, 0);
        form->addWidget(w, r, 1);
    };
    addRow(0, QStringLiteral("Распределение"), cbDist);
    addRow(1, QStringLiteral("Метод оценки"), cbEstimator);
    addRow(2, QStringLiteral("Доверительная вероятность"), edLevel);
    addRow(3, QStringLiteral("Ресурсы B, %"), edBLives);
    addRow(4, QStringLiteral("ВБР при наработках, ч"), edTimes);
    lv->addLayout(form);
    auto *actions = new QHBoxLayout;
    actions->addWidget(btnFit, 1);
    actions->addWidget(btnStop);
    actions->addWidget(btnPrint);
    actions->addWidget(btnClose);
    lv->addWidget(pbFit);
    lv->addLayout(actions);

    auto *right = new QSplitter(Qt::Vertical, this);
    auto *top = new QWidget(right);
    auto *tv = new QVBoxLayout(top);
    tv->setContentsMargins(0, 0, 0, 0);
    tv->addWidget(lbSummary);
    tv->addWidget(LifeResults, 1);
    right->addWidget(top);
    right->addWidget(LifePlot);
    right->setStretchFactor(0, 2);
    right->setStretchFactor(1, 3);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 5);
    split->setSizes({470, 730});
    auto *root = new QVBoxLayout(this);
    root->addWidget(split);

    connect(btnOpen, &QPushButton::clicked, this, &LifeForm::btnOpenClick);
    connect(btnPaste, &QPushButton::clicked, this, &LifeForm::btnPasteClick);
    connect(btnAddRows, &QPushButton::clicked, this,
            [this] { LifeGrid->setRowCount(LifeGrid->rowCount() + 20); });
    connect(btnFit, &QPushButton::clicked, this, &LifeForm::btnFitClick);
    connect(btnStop, &QPushButton::clicked, this, &LifeForm::btnStopClick);
    connect(btnPrint, &QPushButton::clicked, this, &LifeForm::btnPrintClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::hide);

    chooseFile = [](QWidget *parent) {
        return QFileDialog::getOpenFileName(
            parent, QStringLiteral("Файл данных с приостановками"), QString(),
            QStringLiteral("Таблицы (*.csv *.txt *.tsv);;Все файлы (*)"));
    };
}

void LifeForm::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const UserError &e) {
        if (Notifier *n = coreNotifier())
            n->error(kCaption, e.message());
    } catch (const std::exception &e) {
        if (Notifier *n = coreNotifier())
            n->error(kCaption, QString::fromLocal8Bit(e.what()));
    }
}

void LifeForm::setData(const LifeData &data)
{
    LifeGrid->clearContents();
    LifePlot->setPlot(std::nullopt);
    LifeResults->setRowCount(0);
    LifeGrid->setRowCount(std::max<int>(40, int(data.units.size()) + 10));
    int r = 0;
    for (const Unit &u : data.units) {
        const bool iv = u.kind == Obs::Interval;
        LifeGrid->setItem(r, 0, new QTableWidgetItem(iv && u.low == 0 ? QString() : plain(u.low)));
        LifeGrid->setItem(r, 1, new QTableWidgetItem(iv ? plain(u.high) : QString()));
        LifeGrid->setItem(r, 2, new QTableWidgetItem(stateText(u.kind)));
        LifeGrid->setItem(r, 3, new QTableWidgetItem(plain(u.count)));
        ++r;
    }
}

LifeData LifeForm::gridData() const
{
    // The grid is read by the same reader as the files, so its rules and messages hold.
    QString text = kReadHeader + u'\n';
    for (int r = 0; r < LifeGrid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c) {
            const QTableWidgetItem *it = LifeGrid->item(r, c);
            QString s = it ? it->text() : QString();
            s.replace(u'\t', u' ');
            cells << s;
        }
        text += cells.join(u'\t') + u'\n';
    }
    // Line numbers of the grid are its row numbers (the header is not a row).
    return parseLifeText(text, -1);
}

void LifeForm::pasteText(const QString &clip)
{
    guarded([&] {
        LifeData d;
        try {
            d = parseLifeText(clip);
        } catch (const UserError &e) {
            if (e.message() != life::txt::noHeader)
                throw;
            // No header: the columns in the grid's order (time, state[, count] or
            // start, end, state, count).
            const QString first = clip.section(u'\n', 0, 0);
            const int cols = int(first.split(u'\t').size());
            const QString head = cols >= 4 ? kReadHeader
                                 : cols == 3 ? QStringLiteral("Наработка\tСостояние\tКол-во")
                                             : QStringLiteral("Наработка\tСостояние");
            d = parseLifeText(head + u'\n' + clip);
        }
        setData(d);
    });
}

void LifeForm::keyPressEvent(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Paste)) {
        btnPasteClick();
        return;
    }
    QWidget::keyPressEvent(e);
}

void LifeForm::btnOpenClick()
{
    guarded([&] {
        const QString path = chooseFile ? chooseFile(this) : QString();
        if (path.isEmpty())
            return;
        QFile f(path);
        if (!f.exists())
            throw UserError(QStringLiteral("Указанный файл не существует"));
        if (!f.open(QIODevice::ReadOnly))
            throw UserError(
                QStringLiteral("Не удалось открыть файл %1: %2").arg(path, f.errorString()));
        setData(readLifeTable(f.readAll()));
    });
}

void LifeForm::btnPasteClick() { pasteText(QGuiApplication::clipboard()->text()); }

double LifeForm::number(QLineEdit *box) const
{
    const QString t = box->text().trimmed();
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(QString(t).replace(u',', u'.'), &ok);
    if (!ok || !std::isfinite(v))
        throw UserError(QStringLiteral("«%1» не является числом").arg(t));
    return v;
}

std::vector<double> LifeForm::numberList(QLineEdit *box) const
{
    std::vector<double> out;
    for (const QString &part : box->text().split(u';', Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        QLineEdit tmp(part);
        out.push_back(number(&tmp));
    }
    return out;
}

bool LifeForm::isRunning() const { return m_worker != nullptr; }

void LifeForm::setRunning(bool running)
{
    // While a fit runs nothing that would change its inputs or its results is offered.
    for (QWidget *w :
         std::initializer_list<QWidget *>{btnFit, btnOpen, btnPaste, btnAddRows, btnPrint, LifeGrid,
                                          cbDist, cbEstimator, edLevel, edBLives, edTimes})
        w->setEnabled(!running);
    btnStop->setEnabled(running);
    if (running) {
        pbFit->setRange(0, 0);   // busy until the first step is reported
        pbFit->setValue(0);
    } else {
        pbFit->setRange(0, 1);
        pbFit->setValue(0);
    }
}

void LifeForm::btnFitClick()
{
    if (m_worker)
        return;
    guarded([&] {
        FitInput in;
        in.data = gridData();
        LifeOptions &o = in.options;
        o.level = number(edLevel);
        o.bPercents = numberList(edBLives);
        o.times = numberList(edTimes);
        o.estimator = *estimatorFromKey(cbEstimator->currentData().toString());
        const QString dk = cbDist->currentData().toString();
        in.all = dk == u"all";
        if (!in.all)
            o.dist = *distFromKey(dk);
        checkOptions(o);
        m_runData = in.data;
        m_worker = Worker::make(std::move(in), runFit, this);
        connect(m_worker, &Worker::progressChanged, this, [this](int done, int total) {
            pbFit->setRange(0, total);
            pbFit->setValue(done);
        });
        connect(m_worker, &Worker::finished, this, &LifeForm::fitEnded, Qt::QueuedConnection);
        setRunning(true);
        m_worker->start();
    });
}

void LifeForm::btnStopClick()
{
    if (m_worker)
        m_worker->cancel();
}

void LifeForm::fitEnded()
{
    if (!m_worker)
        return;
    WorkOutcome out = m_worker->takeOutcome();
    m_worker->deleteLater();
    m_worker = nullptr;
    setRunning(false);
    // A stopped fit leaves the results of the last one as they were.
    if (!out.cancelled) {
        if (out.error) {
            if (Notifier *n = coreNotifier())
                n->error(kCaption, *out.error);
        } else if (const auto *r = std::any_cast<FitOutput>(&out.result)) {
            showFit(r->fit, r->all ? &r->ranking : nullptr, m_runData, r->recommended);
        }
    }
    emit fitFinished();
}

void LifeForm::showFit(const LifeFit &f, const std::vector<RankEntry> *ranking,
                       const LifeData &data, bool recommended)
{
    const QLocale loc;
    lbSummary->setText(
        QStringLiteral("%1; %2; доверительная вероятность %3.  Отказов: %4, приостановок: %5, "
                       "интервалов: %6.  ln L = %7, AICc = %8, BIC = %9")
            .arg(distName(f.dist), estimatorName(f.estimator), lifeNumber(loc, f.level),
                 lifeNumber(loc, f.tally.failures), lifeNumber(loc, f.tally.suspensions),
                 lifeNumber(loc, f.tally.intervals), lifeNumber(loc, f.loglik),
                 f.aicc ? lifeNumber(loc, *f.aicc) : QStringLiteral("—"), lifeNumber(loc, f.bic)));
    LifeResults->setRowCount(0);
    auto row = [&](const QString &a, const QString &b, const QString &c, const QString &d) {
        const int r = LifeResults->rowCount();
        LifeResults->insertRow(r);
        LifeResults->setItem(r, 0, new QTableWidgetItem(a));
        LifeResults->setItem(r, 1, new QTableWidgetItem(b));
        LifeResults->setItem(r, 2, new QTableWidgetItem(c));
        LifeResults->setItem(r, 3, new QTableWidgetItem(d));
    };
    for (const FigureRow &x : figureRows(loc, f))
        row(x.title, x.value, x.fisher, x.lr);
    if (f.rho)
        row(QStringLiteral("Коэффициент корреляции"), lifeNumber(loc, *f.rho), QString(),
            QString());
    std::vector<QString> notes = fitNotes(loc, f);
    if (ranking && !recommended)
        notes.insert(notes.begin(), life::txt::noneRecommended);
    for (const QString &n : notes)
        row(n, QString(), QString(), QString());
    if (ranking) {
        row(QStringLiteral("Подбор всех распределений"), QStringLiteral("AICc"),
            QStringLiteral("BIC"), QStringLiteral("ln L"));
        for (const RankEntry &e : *ranking) {
            if (e.fit)
                row(distName(e.dist) + rankMark(e),
                    e.fit->aicc ? lifeNumber(loc, *e.fit->aicc) : QStringLiteral("—"),
                    lifeNumber(loc, e.fit->bic), lifeNumber(loc, e.fit->loglik));
            else
                row(distName(e.dist), QStringLiteral("—"), QStringLiteral("—"), e.error);
        }
    }
    LifePlot->setPlot(probabilityPlot(data, f));

    // The plotting positions beside the data: grid row = the record's line.
    for (int r = 0; r < LifeGrid->rowCount(); ++r)
        delete LifeGrid->takeItem(r, 4);
    for (const PositionRow &pr : plottingPositions(data)) {
        if (!pr.position || pr.unit.line <= 0 || pr.unit.line > LifeGrid->rowCount())
            continue;
        auto *it = new QTableWidgetItem(lifeNumber(loc, *pr.position * 100));
        it->setFlags(it->flags() & ~Qt::ItemIsEditable);
        it->setToolTip(QStringLiteral("Скорректированный ранг Джонсона %1, медианный ранг Бенарда")
                           .arg(lifeNumber(loc, *pr.adjustedRank)));
        LifeGrid->setItem(pr.unit.line - 1, 4, it);
    }
}

void LifeForm::btnPrintClick()
{
    guarded([&] { printWindow(this); });
}

QString lifeTabTitle() { return QStringLiteral("4. Данные с приостановками"); }

QWidget *makeLifeTabPage(QWidget *mainWindow)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    auto *b = new QPushButton(QStringLiteral("Анализ данных с приостановками"), page);
    b->setObjectName(QStringLiteral("btnLifeData"));
    b->setGeometry(16, 20, 288, 64);
    QFont f = b->font();
    f.setPixelSize(13);
    f.setBold(true);
    b->setFont(f);
    auto *hint = new QLabel(
        QStringLiteral("Отказы, приостановки и интервалы проверок: распределения Вейбулла, "
                       "экспоненциальное, логнормальное, нормальное и гамма, границы по "
                       "Фишеру и по отношению правдоподобия, вероятностная бумага."),
        page);
    hint->setWordWrap(true);
    hint->setGeometry(16, 96, 288, 90);
    QObject::connect(b, &QPushButton::clicked, mainWindow, [mainWindow] {
        auto *form = mainWindow->findChild<LifeForm *>(QStringLiteral("LifeForm"));
        if (!form)
            form = new LifeForm(mainWindow);
        form->show();
        form->raise();
        form->activateWindow();
    });
    return page;
}

}   // namespace obr::lifeui
