// SPDX-License-Identifier: MIT
#include "cohort/ui/cohortform.h"

#include "chart/chartwidget.h"
#include "chart/export.h"
#include "chart/printing.h"
#include "cohort/cohort_texts.h"
#include "cohort/ui/charts.h"
#include "cohort/ui/cohortui_texts.h"
#include "desktop/worker.h"
#include "desktop/tablecopy.h"
#include "export/csv.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/seams.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace obr::cohortui {

using namespace obr::cohort;

namespace {

//! The colour of a flag frame on a grid cell (a QColor), when the cell's period is flagged.
constexpr int kFlagRole = Qt::UserRole + 1;

const QColor kCaution(0xE0, 0xA0, 0x00);
const QColor kCritical(0xD0, 0x00, 0x00);
const QColor kCautionBack(0xFF, 0xE8, 0x80);
const QColor kCriticalBack(0xFF, 0xA0, 0x30);

//! Draws a frame in the flag's colour around the cells of a flagged calendar period.
class FlagDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &i) const override
    {
        QStyledItemDelegate::paint(p, o, i);
        const QVariant v = i.data(kFlagRole);
        if (!v.isValid())
            return;
        p->save();
        p->setPen(QPen(v.value<QColor>(), 2));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRectF(o.rect).adjusted(1, 1, -1, -1));
        p->restore();
    }
};

QString plain(double v) { return QLocale::c().toString(v, 'g', 15); }

QChar userDec() { return QLocale().decimalPoint().at(0); }

QString boundText(const Bound &b, QChar dec)
{
    if (!b.low && !b.high)
        return txt::none;
    auto side = [&](const std::optional<double> &x) { return x ? shown(*x, dec) : txt::unbounded; };
    return QStringLiteral("[%1; %2]").arg(side(b.low), side(b.high));
}

QString intervalText(const Interval &in, QChar dec)
{
    return QStringLiteral("%1 – %2").arg(shown(in.low, dec), shown(in.high, dec));
}

QString pText(const std::optional<double> &p, QChar dec)
{
    return p ? shown(*p, dec, 3) : txt::none;
}

QTableWidget *resultTable(QWidget *parent, const char *name, const QStringList &header)
{
    auto *t = new QTableWidget(0, int(header.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(header);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(22);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->horizontalHeader()->setStretchLastSection(true);
    installTableCopy(t);
    return t;
}

void addRow(QTableWidget *t, const QStringList &cells, const QColor &back = QColor())
{
    const int r = t->rowCount();
    t->insertRow(r);
    for (int c = 0; c < cells.size() && c < t->columnCount(); ++c) {
        auto *it = new QTableWidgetItem(cells[c]);
        if (back.isValid())
            it->setBackground(back);
        t->setItem(r, c, it);
    }
}

void fitColumns(QTableWidget *t)
{
    t->resizeColumnsToContents();
    for (int c = 0; c < t->columnCount(); ++c)
        t->setColumnWidth(c, std::min(t->columnWidth(c) + 8, 260));
}

QString periodName(Period p)
{
    return p == Period::Week      ? txt::periodWeek
           : p == Period::Quarter ? txt::periodQuarter
                                  : txt::periodMonth;
}

//! A cell's background by its standardised residual: white near 0, red above, blue below.
QColor residualColour(double r)
{
    const double s = std::min(std::abs(r), 4.0) / 4.0;
    const QColor to = r > 0 ? QColor(0xF0, 0x50, 0x50) : QColor(0x50, 0x80, 0xF0);
    auto mix = [&](int a, int b) { return int(std::lround(a + (b - a) * s)); };
    return QColor(mix(255, to.red()), mix(255, to.green()), mix(255, to.blue()));
}

struct BusyCursor {
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}   // namespace

CohortForm::CohortForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("CohortForm"));
    setWindowTitle(txt::caption);
    buildLayout();
    chooseFile = [](QWidget *parent, const QString &caption) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), txt::tableFilter);
    };
    clearResults();
}

CohortForm::~CohortForm() = default;

bool CohortForm::isRunning() const { return m_worker != nullptr; }

void CohortForm::buildLayout()
{
    resize(1240, 720);
    auto button = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto edit = [&](const char *name, const QString &text, const QString &tip,
                    const QString &placeholder = QString()) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(tip);
        e->setPlaceholderText(placeholder);
        return e;
    };
    auto combo = [&](const char *name, const QStringList &items, const QString &tip) {
        auto *c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->addItems(items);
        c->setToolTip(tip);
        return c;
    };
    const QLocale loc;

    btnOpen = button("btnOpen", txt::open);
    btnOpenClaims = button("btnOpenClaims", txt::openClaims);
    btnPaste = button("btnPaste", txt::paste);
    btnAddRows = button("btnAddRows", txt::addRows);
    btnCalc = button("btnCalc", txt::calc);
    QFont bf = btnCalc->font();
    bf.setBold(true);
    btnCalc->setFont(bf);
    btnStop = button("btnStop", txt::stop);
    btnExport = button("btnExport", txt::exportCsv);
    btnPrint = button("btnPrint", txt::print);
    btnClose = button("btnClose", txt::close);

    cbPeriod =
        combo("cbPeriod", {txt::periodMonth, txt::periodWeek, txt::periodQuarter}, txt::tipPeriod);
    edDataEnd = edit("edDataEnd", QString(), txt::tipDataEnd, txt::placeholderTableEnd);
    cbUsage =
        combo("cbUsage", {txt::usageFixed, txt::usageLognormal, txt::usageSample}, txt::tipUsage);
    edRate = edit("edRate", loc.toString(1.0), txt::tipRate);
    edMedian = edit("edMedian", loc.toString(1.0), txt::tipMedian);
    edLogSd = edit("edLogSd", loc.toString(0.5), txt::tipLogSd);
    edWarrantyPeriods =
        edit("edWarrantyPeriods", QString(), txt::tipWarrantyPeriods, txt::placeholderNone);
    edWarrantyHours =
        edit("edWarrantyHours", QString(), txt::tipWarrantyHours, txt::placeholderNone);
    cbAges = combo("cbAges", {cohort::txt::agesInterval, cohort::txt::agesEnd}, txt::tipAges);
    cbModel = combo("cbModel", {cohort::txt::modelRepeat, cohort::txt::modelFirst}, txt::tipModel);
    edLevel = edit("edLevel", loc.toString(0.9), txt::tipLevel);
    edHorizon = edit("edHorizon", QString(), txt::tipHorizon, txt::placeholderWarrantyEnd);
    cbFuture =
        combo("cbFuture", {txt::futureNone, txt::futureLast, txt::futureTyped}, txt::tipFuture);
    edFutureUnits = edit("edFutureUnits", QString(), txt::tipFutureUnits, txt::placeholderUnits);
    edCost = edit("edCost", QString(), txt::tipCost, txt::placeholderNone);
    edCostSd = edit("edCostSd", QString(), txt::tipCostSd, QStringLiteral("0"));
    edBacktest = edit("edBacktest", QString(), txt::tipBacktest, txt::placeholderNone);

    // The settings on the left, in a column that scrolls when the screen is low.
    auto *settingsBox = new QWidget;
    auto *form = new QFormLayout(settingsBox);
    form->setContentsMargins(4, 4, 4, 4);
    form->setVerticalSpacing(4);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto row = [&](const QString &label, QWidget *w) {
        auto *l = new QLabel(label, settingsBox);
        l->setToolTip(w->toolTip());
        l->setBuddy(w);
        form->addRow(l, w);
    };
    row(txt::lbModel, cbModel);
    row(txt::lbPeriod, cbPeriod);
    row(txt::lbDataEnd, edDataEnd);
    row(txt::lbAges, cbAges);
    row(txt::lbUsage, cbUsage);
    row(txt::lbRate, edRate);
    row(txt::lbMedian, edMedian);
    row(txt::lbLogSd, edLogSd);
    row(txt::lbWarrantyPeriods, edWarrantyPeriods);
    row(txt::lbWarrantyHours, edWarrantyHours);
    row(txt::lbLevel, edLevel);
    row(txt::lbHorizon, edHorizon);
    row(txt::lbFuture, cbFuture);
    row(txt::lbFutureUnits, edFutureUnits);
    row(txt::lbCost, edCost);
    row(txt::lbCostSd, edCostSd);
    row(txt::lbBacktest, edBacktest);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("SettingsScroll"));
    scroll->setWidget(settingsBox);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);

    auto syncUsage = [this] {
        const int k = cbUsage->currentIndex();
        edRate->setEnabled(k == 0);
        edMedian->setEnabled(k == 1);
        edLogSd->setEnabled(k == 1);
    };
    connect(cbUsage, &QComboBox::currentIndexChanged, this, syncUsage);
    syncUsage();
    auto syncFuture = [this] { edFutureUnits->setEnabled(cbFuture->currentIndex() == 2); };
    connect(cbFuture, &QComboBox::currentIndexChanged, this, syncFuture);
    syncFuture();

    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(true);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setWordWrap(true);

    auto *left = new QWidget(this);
    auto *lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);
    lv->addWidget(scroll, 1);
    auto *run = new QHBoxLayout;
    run->addWidget(btnCalc, 1);
    run->addWidget(btnStop);
    lv->addLayout(run);
    lv->addWidget(Progress);
    lv->addWidget(lbStatus);

    // The data page: the grid with its commands and the legend of its colours.
    auto *dataPage = new QWidget;
    auto *dv = new QVBoxLayout(dataPage);
    dv->setContentsMargins(4, 4, 4, 4);
    auto *files = new QHBoxLayout;
    files->addWidget(btnOpen);
    files->addWidget(btnOpenClaims);
    files->addWidget(btnPaste);
    files->addWidget(btnAddRows);
    files->addStretch(1);
    dv->addLayout(files);
    Grid = new QTableWidget(24, 2 + 24, dataPage);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setToolTip(txt::gridTip);
    Grid->verticalHeader()->setDefaultSectionSize(22);
    Grid->horizontalHeader()->setDefaultSectionSize(44);
    Grid->setItemDelegate(new FlagDelegate(Grid));
    {
        // An empty table to type into: the period, the units, then ages 1, 2, …
        QStringList head{txt::colPeriod, txt::colUnits};
        for (int a = 1; a <= 24; ++a)
            head << QString::number(a);
        Grid->setHorizontalHeaderLabels(head);
        Grid->setColumnWidth(0, 70);
        Grid->resizeColumnToContents(1);
    }
    installTableCopy(Grid);
    dv->addWidget(Grid, 1);
    auto *legend = new QLabel(dataPage);
    legend->setObjectName(QStringLiteral("lbLegend"));
    legend->setWordWrap(true);
    {
        const QChar dec = userDec();
        auto swatch = [](const QColor &c, const QString &text) {
            return QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;"
                                  "</span>&nbsp;%2")
                .arg(c.name(), text.toHtmlEscaped().replace(u' ', QStringLiteral("&nbsp;")));
        };
        auto frame = [](const QColor &c) {
            return QStringLiteral("<span style=\"color:%1\"><b>&#9633;</b></span>").arg(c.name());
        };
        const QString gap = QStringLiteral("&nbsp;&nbsp;&nbsp; ");
        legend->setText(
            swatch(residualColour(-2.5), txt::legendLow.arg(shown(-2, dec))) + gap +
            swatch(residualColour(2.5), txt::legendHigh.arg(shown(2, dec))) +
            QStringLiteral("<br>") + swatch(kCautionBack, txt::legendCaution.arg(shown(0.1, dec))) +
            u' ' + frame(kCaution) + gap +
            swatch(kCriticalBack, txt::legendCritical.arg(shown(0.01, dec))) + u' ' +
            frame(kCritical) + QStringLiteral("<br>") + txt::legendFlags.toHtmlEscaped());
    }
    dv->addWidget(legend);

    // The estimates page.
    auto *estPage = new QWidget;
    auto *ev = new QVBoxLayout(estPage);
    ev->setContentsMargins(4, 4, 4, 4);
    lbSummary = new QLabel(estPage);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);
    lbMessage = new QLabel(estPage);
    lbMessage->setObjectName(QStringLiteral("lbMessage"));
    lbMessage->setWordWrap(true);
    lbMessage->setStyleSheet(QStringLiteral("color: #A00000"));
    Estimates = resultTable(estPage, "Estimates",
                            {txt::colFigure, txt::colEstimate, txt::colFisher, txt::colLr});
    ev->addWidget(lbSummary);
    ev->addWidget(lbMessage);
    ev->addWidget(Estimates, 1);

    ClaimsChart = new ChartWidget;
    ClaimsChart->setObjectName(QStringLiteral("ClaimsChart"));
    installChartImageMenu(ClaimsChart);
    CostChart = new ChartWidget;
    CostChart->setObjectName(QStringLiteral("CostChart"));
    installChartImageMenu(CostChart);

    auto *fcPage = new QWidget;
    auto *fv = new QVBoxLayout(fcPage);
    fv->setContentsMargins(4, 4, 4, 4);
    lbForecast = new QLabel(fcPage);
    lbForecast->setObjectName(QStringLiteral("lbForecast"));
    lbForecast->setWordWrap(true);
    fv->addWidget(lbForecast);
    ForecastTable =
        resultTable(fcPage, "ForecastTable",
                    {txt::colPeriod, txt::colExpected, txt::colFromService, txt::colFromSales,
                     txt::colPlugin, txt::colPredictive, txt::colCumExpected, txt::colCumPredictive,
                     txt::colCost, txt::colCumCost});
    fv->addWidget(ForecastTable, 1);
    MonitorTable = resultTable(nullptr, "MonitorTable",
                               {txt::colKind, txt::colLine, txt::colObserved, txt::colExpected,
                                txt::colX2, txt::colDf, txt::colP, txt::colFlag});

    auto *btPage = new QWidget;
    auto *bv = new QVBoxLayout(btPage);
    bv->setContentsMargins(4, 4, 4, 4);
    lbBacktest = new QLabel(btPage);
    lbBacktest->setObjectName(QStringLiteral("lbBacktest"));
    lbBacktest->setWordWrap(true);
    BacktestChart = new ChartWidget(btPage);
    BacktestChart->setObjectName(QStringLiteral("BacktestChart"));
    installChartImageMenu(BacktestChart);
    BacktestTable = resultTable(
        btPage, "BacktestTable",
        {txt::colPeriod, txt::colObserved, txt::colExpected, txt::colPredictive, txt::colPlugin});
    auto *btSplit = new QSplitter(Qt::Vertical, btPage);
    btSplit->addWidget(BacktestChart);
    btSplit->addWidget(BacktestTable);
    BacktestChart->setMinimumHeight(260);
    btSplit->setStretchFactor(0, 3);
    btSplit->setStretchFactor(1, 2);
    btSplit->setSizes({420, 200});
    bv->addWidget(lbBacktest);
    bv->addWidget(btSplit, 1);

    Tabs = new QTabWidget(this);
    Tabs->setObjectName(QStringLiteral("Tabs"));
    Tabs->addTab(dataPage, txt::tabData);
    Tabs->addTab(estPage, txt::tabEstimates);
    Tabs->addTab(ClaimsChart, txt::tabClaims);
    Tabs->addTab(fcPage, txt::tabForecast);
    Tabs->addTab(CostChart, txt::tabCost);
    Tabs->addTab(btPage, txt::tabBacktest);
    Tabs->addTab(MonitorTable, txt::tabMonitor);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("Split"));
    split->addWidget(left);
    split->addWidget(Tabs);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    left->setMinimumWidth(settingsBox->sizeHint().width() + 24);
    split->setSizes({left->minimumWidth(), 900});

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnExport);
    bottom->addWidget(btnPrint);
    bottom->addWidget(btnClose);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->addWidget(split, 1);
    root->addLayout(bottom);

    connect(btnOpen, &QPushButton::clicked, this, &CohortForm::btnOpenClick);
    connect(btnOpenClaims, &QPushButton::clicked, this, &CohortForm::btnOpenClaimsClick);
    connect(btnPaste, &QPushButton::clicked, this, &CohortForm::btnPasteClick);
    connect(btnAddRows, &QPushButton::clicked, this,
            [this] { Grid->setRowCount(Grid->rowCount() + 12); });
    connect(btnCalc, &QPushButton::clicked, this, &CohortForm::btnCalcClick);
    connect(btnStop, &QPushButton::clicked, this, &CohortForm::btnStopClick);
    connect(btnExport, &QPushButton::clicked, this, &CohortForm::btnExportClick);
    connect(btnPrint, &QPushButton::clicked, this, &CohortForm::btnPrintClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    setRunning(false);
}

void CohortForm::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &e) {
        if (Notifier *n = coreNotifier())
            n->error(txt::caption, userMessage(e));
    }
}

// ---------------------------------------------------------------------------------------
// The grid

void CohortForm::setTable(const NevadaTable &t)
{
    m_layout = t.layout;
    m_hasCauses = !t.causes.empty();
    const int first = m_hasCauses ? 3 : 2;
    const int lastAge = t.rows.empty() ? 1 : t.dataEnd - t.start.front() + 1;
    const int claimCols = t.layout == Layout::Calendar ? t.dataEnd + 1 : lastAge;
    Grid->clear();
    Grid->setColumnCount(first + std::max(claimCols, 1));
    QStringList head{txt::colPeriod, txt::colUnits};
    if (m_hasCauses)
        head << txt::colCause;
    for (int j = 0; j < claimCols; ++j)
        head << (t.layout == Layout::Calendar ? t.periods[size_t(j)] : QString::number(j + 1));
    Grid->setHorizontalHeaderLabels(head);
    const int causes = std::max(1, t.causeCount());
    Grid->setRowCount(std::max(24, t.rowCount() * causes + 6));
    int gr = 0;
    for (int r = 0; r < t.rowCount(); ++r)
        for (int c = 0; c < causes; ++c, ++gr) {
            Grid->setItem(gr, 0, new QTableWidgetItem(t.rows[size_t(r)]));
            Grid->setItem(gr, 1, new QTableWidgetItem(plain(t.units[size_t(r)])));
            if (m_hasCauses)
                Grid->setItem(gr, 2, new QTableWidgetItem(t.causes[size_t(c)]));
            const std::vector<double> &ages = t.claims[size_t(c)][size_t(r)];
            for (size_t a = 0; a < ages.size(); ++a) {
                const int col = t.layout == Layout::Calendar ? t.start[size_t(r)] + int(a) : int(a);
                Grid->setItem(gr, first + col, new QTableWidgetItem(plain(ages[a])));
            }
        }
    Grid->resizeColumnToContents(0);
    Grid->resizeColumnToContents(1);
    clearResults();
}

NevadaTable CohortForm::gridTable() const
{
    // The grid is read by the same reader as the files, so its rules and messages hold.
    QStringList head{QStringLiteral("период"), QStringLiteral("продано")};
    if (m_hasCauses)
        head << QStringLiteral("причина");
    const int first = m_hasCauses ? 3 : 2;
    for (int c = first; c < Grid->columnCount(); ++c) {
        const QTableWidgetItem *h = Grid->horizontalHeaderItem(c);
        head << (h ? h->text() : QString::number(c - first + 1));
    }
    QString text = head.join(u'\t') + u'\n';
    bool any = false;
    for (int r = 0; r < Grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < Grid->columnCount(); ++c) {
            const QTableWidgetItem *it = Grid->item(r, c);
            QString s = it ? it->text().trimmed() : QString();
            s.replace(u'\t', u' ');
            any = any || !s.isEmpty();
            cells << s;
        }
        text += cells.join(u'\t') + u'\n';
    }
    if (!any)
        throw UserError(txt::noGrid);
    return parseNevadaText(text, cbModel->currentIndex() == 1);
}

void CohortForm::pasteText(const QString &clip)
{
    guarded([&] {
        const NevadaTable t = parseNevadaText(clip);   // nothing changes when it is refused
        m_claimRates.clear();
        m_file.clear();
        setTable(t);
    });
}

void CohortForm::keyPressEvent(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Paste)) {
        btnPasteClick();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CohortForm::closeEvent(QCloseEvent *e)
{
    if (m_worker)
        m_worker->cancel();
    QWidget::closeEvent(e);
}

QByteArray CohortForm::readChosen(const QString &caption, QString *path)
{
    *path = chooseFile ? chooseFile(this, caption) : QString();
    if (path->isEmpty())
        return {};
    QFile f(*path);
    if (!f.exists())
        throw UserError(txt::noFile);
    if (!f.open(QIODevice::ReadOnly))
        throw UserError(txt::cannotOpen.arg(QDir::toNativeSeparators(*path), f.errorString()));
    return f.readAll();
}

void CohortForm::btnOpenClick()
{
    guarded([&] {
        QString path;
        const QByteArray bytes = readChosen(txt::chooseTable, &path);
        if (path.isEmpty())
            return;
        const NevadaTable t = readNevada(bytes);
        m_claimRates.clear();
        setTable(t);
        m_file = path;
    });
}

void CohortForm::btnOpenClaimsClick()
{
    guarded([&] {
        QString claimsPath, salesPath;
        const QByteArray claims = readChosen(txt::chooseClaims, &claimsPath);
        if (claimsPath.isEmpty())
            return;
        const QByteArray sales = readChosen(txt::chooseSales, &salesPath);
        if (salesPath.isEmpty())
            return;
        const Period period = Period(cbPeriod->currentIndex());
        const NevadaTable t = buildFromClaims(claims, sales, period, edDataEnd->text().trimmed());
        setTable(t);
        m_claimRates = t.claimRates;
        m_file = claimsPath;
        if (!m_claimRates.empty())
            cbUsage->setCurrentIndex(2);
    });
}

void CohortForm::btnPasteClick() { pasteText(QGuiApplication::clipboard()->text()); }

// ---------------------------------------------------------------------------------------
// The settings

namespace {

double numberIn(const QLineEdit *box, const QString &what)
{
    const QString t = box->text().trimmed();
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok) {
        QString s = t;
        s.remove(u' ').remove(QChar(0x00A0));
        v = QLocale::c().toDouble(s.replace(u',', u'.'), &ok);
    }
    if (!ok || !std::isfinite(v))
        throw UserError(txt::notANumber.arg(t, what));
    return v;
}

std::optional<double> optionalNumber(const QLineEdit *box, const QString &what)
{
    if (box->text().trimmed().isEmpty())
        return std::nullopt;
    return numberIn(box, what);
}

std::optional<int> optionalWhole(const QLineEdit *box, const QString &what)
{
    const std::optional<double> v = optionalNumber(box, what);
    if (!v)
        return std::nullopt;
    if (!(*v >= 1) || *v != std::floor(*v) || *v > 1e6)
        throw UserError(txt::notWhole.arg(box->text().trimmed(), what));
    return int(*v);
}

}   // namespace

Settings CohortForm::settings(const NevadaTable &table) const
{
    Settings s;
    s.period = Period(cbPeriod->currentIndex());
    s.dec = userDec();
    auto period = [&](const QLineEdit *box, const QString &what) -> std::optional<int> {
        const QString t = box->text().trimmed();
        if (t.isEmpty())
            return std::nullopt;
        const std::optional<int> i = periodIndex(table, t, s.period);
        if (!i)
            throw UserError(txt::unknownPeriod.arg(t, what));
        return i;
    };
    s.dataEnd = period(edDataEnd, txt::lbDataEnd);
    s.backtest = period(edBacktest, txt::lbBacktest);
    switch (cbUsage->currentIndex()) {
    case 0:
        s.usage.kind = UsageKind::Fixed;
        s.usage.rate = numberIn(edRate, txt::lbRate);
        break;
    case 1:
        s.usage.kind = UsageKind::Lognormal;
        s.usage.median = numberIn(edMedian, txt::lbMedian);
        s.usage.logSd = numberIn(edLogSd, txt::lbLogSd);
        break;
    default:
        if (m_claimRates.empty())
            throw UserError(txt::noSample);
        s.usage.kind = UsageKind::Sample;
        s.usage.sample = m_claimRates;
        break;
    }
    s.warrantyPeriods = optionalWhole(edWarrantyPeriods, txt::lbWarrantyPeriods);
    s.warrantyHours = optionalNumber(edWarrantyHours, txt::lbWarrantyHours);
    s.ages = cbAges->currentIndex() == 1 ? AgeConvention::End : AgeConvention::Interval;
    s.model = cbModel->currentIndex() == 1 ? ModelKind::First : ModelKind::Repeat;
    s.level = numberIn(edLevel, txt::lbLevel);
    s.horizon = optionalWhole(edHorizon, txt::lbHorizon);
    switch (cbFuture->currentIndex()) {
    case 1:
        s.futureSales = FutureSalesKind::AsLast;
        break;
    case 2: {
        s.futureSales = FutureSalesKind::Typed;
        for (const QString &part : edFutureUnits->text().split(u';', Qt::SkipEmptyParts)) {
            if (part.trimmed().isEmpty())
                continue;
            QLineEdit one(part);
            s.futureUnits.push_back(numberIn(&one, txt::lbFutureUnits));
        }
        break;
    }
    default:
        s.futureSales = FutureSalesKind::None;
    }
    if (const std::optional<double> c = optionalNumber(edCost, txt::lbCost))
        s.cost = Cost{*c, optionalNumber(edCostSd, txt::lbCostSd).value_or(0)};
    checkSettings(table, s);
    return s;
}

// ---------------------------------------------------------------------------------------
// The run

void CohortForm::setRunning(bool on)
{
    btnCalc->setEnabled(!on);
    btnStop->setEnabled(on);
    for (QWidget *w : std::initializer_list<QWidget *>{btnOpen, btnOpenClaims, btnPaste})
        w->setEnabled(!on);
    Progress->setVisible(on);
}

void CohortForm::btnCalcClick()
{
    if (m_worker)
        return;
    guarded([&] {
        CohortRequest request;
        request.table = gridTable();
        request.settings = settings(request.table);
        m_shownTable = request.table;
        m_worker = Worker::make(
            std::move(request),
            [](const CohortRequest &in, WorkControl &control) {
                return runCohorts(in, &control.stopFlag(),
                                  [&control](int percent) { control.progress(percent, 100); });
            },
            this);
        connect(m_worker, &Worker::progressChanged, this, [this](int done, int total) {
            Progress->setValue(total > 0 ? done * 100 / total : 0);
        });
        connect(m_worker, &Worker::finished, this, &CohortForm::runFinished, Qt::QueuedConnection);
        Progress->setValue(0);
        lbStatus->setText(txt::running);
        setRunning(true);
        m_worker->start();
    });
}

void CohortForm::btnStopClick()
{
    if (m_worker)
        m_worker->cancel();
}

void CohortForm::runFinished()
{
    if (!m_worker)
        return;
    WorkOutcome out = m_worker->takeOutcome();
    m_worker->deleteLater();
    m_worker = nullptr;
    setRunning(false);
    if (out.cancelled) {
        lbStatus->setText(txt::stopped);
    } else if (out.error) {
        lbStatus->clear();
        if (Notifier *n = coreNotifier())
            n->error(txt::caption, *out.error);
    } else if (const auto *r = std::any_cast<CohortResult>(&out.result)) {
        BusyCursor busy;
        showResult(*r, m_shownTable);
        lbStatus->setText(txt::done);
    }
    emit calculationFinished();
}

// ---------------------------------------------------------------------------------------
// The results

void CohortForm::clearResults()
{
    m_result.reset();
    lbSummary->clear();
    lbMessage->clear();
    lbMessage->hide();
    Estimates->setRowCount(0);
    ForecastTable->setRowCount(0);
    lbForecast->clear();
    MonitorTable->setRowCount(0);
    BacktestTable->setRowCount(0);
    lbBacktest->setText(txt::noBacktest);
    const QChar dec = userDec();
    ChartData empty;
    empty.decimal = dec;
    ClaimsChart->setChartData(empty);
    CostChart->setChartData(empty);
    BacktestChart->setChartData(empty);
    for (int r = 0; r < Grid->rowCount(); ++r)
        for (int c = 0; c < Grid->columnCount(); ++c)
            if (QTableWidgetItem *it = Grid->item(r, c)) {
                it->setData(Qt::BackgroundRole, QVariant());
                it->setData(kFlagRole, QVariant());
                it->setToolTip(QString());
            }
}

void CohortForm::colourGrid(const Fit &fit, const NevadaTable &t)
{
    const QChar dec = userDec();
    const int first = m_hasCauses ? 3 : 2;
    // Grid rows of each table row (one per cause).
    const int causes = std::max(1, t.causeCount());
    auto gridRow = [&](int r, int c) { return r * causes + c; };
    if (!m_hasCauses)
        for (const Cell &cell : fit.cells) {
            const int col = first + (t.layout == Layout::Calendar ? cell.period : cell.age - 1);
            QTableWidgetItem *it = Grid->item(gridRow(cell.row, 0), col);
            if (!it) {
                it = new QTableWidgetItem;
                Grid->setItem(gridRow(cell.row, 0), col, it);
            }
            it->setBackground(residualColour(cell.residual));
            it->setToolTip(txt::cellTip.arg(shown(cell.observed, dec), shown(cell.expected, dec),
                                            shown(cell.residual, dec, 3)));
        }
    auto lineTip = [&](const MonitorLine &m) {
        return txt::lineTip.arg(m.label, shown(m.X2, dec), QString::number(m.df), pText(m.p, dec));
    };
    for (const MonitorLine &m : fit.monitorRows) {
        if (m.flag == Flag::None)
            continue;
        for (int c = 0; c < causes; ++c)
            if (QTableWidgetItem *it = Grid->item(gridRow(m.index, c), 0)) {
                it->setBackground(m.flag == Flag::Critical ? kCriticalBack : kCautionBack);
                it->setToolTip(lineTip(m));
            }
    }
    for (const MonitorLine &m : fit.monitorColumns) {
        if (m.flag == Flag::None)
            continue;
        const QColor frame = m.flag == Flag::Critical ? kCritical : kCaution;
        for (int r = 0; r < t.rowCount(); ++r) {
            const int age = m.index - t.start[size_t(r)] + 1;
            if (age < 1)
                continue;
            const int col = first + (t.layout == Layout::Calendar ? m.index : age - 1);
            for (int c = 0; c < causes; ++c) {
                QTableWidgetItem *it = Grid->item(gridRow(r, c), col);
                if (!it)
                    continue;
                it->setData(kFlagRole, frame);
                it->setToolTip(it->toolTip().isEmpty() ? lineTip(m)
                                                       : it->toolTip() + u'\n' + lineTip(m));
            }
        }
        if (t.layout == Layout::Calendar)
            if (QTableWidgetItem *h = Grid->horizontalHeaderItem(first + m.index))
                h->setToolTip(lineTip(m));
    }
}

void CohortForm::showResult(const CohortResult &r, const NevadaTable &t)
{
    clearResults();
    const QChar dec = userDec();
    const Settings &s = r.settings;
    const int D = s.dataEnd.value_or(t.dataEnd);
    lbSummary->setText(txt::summary.arg(
        s.model == ModelKind::Repeat ? cohort::txt::modelRepeat : cohort::txt::modelFirst,
        s.ages == AgeConvention::Interval ? cohort::txt::agesInterval : cohort::txt::agesEnd,
        periodName(s.period), periodLabel(t, D, s.period), levelText(s.level, dec)));
    QStringList messages;
    if (!r.fit.ridgeMessage.isEmpty())
        messages << r.fit.ridgeMessage;
    for (const QString &n : r.notes)
        if (!messages.contains(n))
            messages << n;
    lbMessage->setText(messages.join(u'\n'));
    lbMessage->setVisible(!messages.isEmpty());

    // Estimates.
    auto figures = [&](const Fit &f) {
        for (const Figure &x : f.figures)
            addRow(Estimates, {cohort::txt::figureTitle(x.key),
                               x.estimate ? shown(*x.estimate, dec) : txt::none,
                               boundText(x.fisher, dec), boundText(x.lr, dec)});
    };
    figures(r.fit);
    const Fit &f = r.fit;
    addRow(Estimates, {txt::rowLoglik, shown(f.loglik, dec, 8), QString(), QString()});
    addRow(Estimates, {txt::rowDeviance, shown(f.gof.deviance, dec),
                       QStringLiteral("p = %1").arg(pText(f.gof.devianceP, dec)), QString()});
    addRow(Estimates, {txt::rowChi2, shown(f.gof.chi2, dec),
                       QStringLiteral("p = %1").arg(pText(f.gof.chi2P, dec)), QString()});
    addRow(Estimates, {txt::rowCells, QStringLiteral("%1 / %2").arg(f.gof.cells).arg(f.gof.df),
                       QString(), QString()});
    addRow(Estimates,
           {txt::rowClaims,
            QStringLiteral("%1 / %2").arg(shown(f.claims, dec, 9), shown(f.units, dec, 9)),
            QString(), QString()});
    for (const CauseResult &c : r.causes) {
        addRow(Estimates, {txt::causeHeading.arg(c.cause), QString(), QString(), QString()},
               QColor(0xEE, 0xEE, 0xEE));
        if (c.fit)
            figures(*c.fit);
        else
            addRow(Estimates, {c.error, QString(), QString(), QString()});
    }
    Estimates->setColumnWidth(0, 260);
    Estimates->setColumnWidth(1, 110);
    Estimates->setColumnWidth(2, 220);

    // The forecast.
    const bool cost = s.cost.has_value();
    ForecastTable->setColumnHidden(8, !cost);
    ForecastTable->setColumnHidden(9, !cost);
    for (const ForecastRow &x : r.forecast.rows)
        addRow(ForecastTable,
               {x.label, shown(x.expected, dec), shown(x.fromService, dec), shown(x.fromSales, dec),
                intervalText(x.plugin, dec), intervalText(x.predictive, dec),
                shown(x.cumExpected, dec), intervalText(x.cumPredictive, dec),
                x.cost ? shown(*x.cost, dec) : txt::none,
                x.cumCost ? shown(*x.cumCost, dec) : txt::none});
    const Total &tot = r.forecast.total;
    const QColor sum(0xEE, 0xEE, 0xEE);
    addRow(ForecastTable,
           {txt::rowTotal, shown(tot.expected, dec), QString(), QString(),
            intervalText(tot.plugin, dec), intervalText(tot.predictive, dec), QString(), QString(),
            tot.cost ? shown(*tot.cost, dec) : txt::none,
            tot.costInterval ? intervalText(*tot.costInterval, dec) : txt::none},
           sum);
    if (r.forecast.reserve)
        addRow(ForecastTable,
               {txt::rowReserve.arg(levelText(s.level, dec)), QString(), QString(), QString(),
                QString(), QString(), QString(), QString(), shown(*r.forecast.reserve, dec, 7),
                QString()},
               sum);
    fitColumns(ForecastTable);
    QString total = txt::forecastTotal.arg(r.horizon).arg(
        shown(tot.expected, dec), intervalText(tot.predictive, dec), levelText(s.level, dec));
    if (tot.cost)
        total += txt::forecastCost.arg(shown(*tot.cost, dec, 7),
                                       tot.costInterval ? intervalText(*tot.costInterval, dec)
                                                        : txt::none);
    if (r.forecast.reserve)
        total +=
            txt::forecastReserve.arg(levelText(s.level, dec), shown(*r.forecast.reserve, dec, 7));
    lbForecast->setText(total);

    // The monitoring lines, the flagged ones coloured.
    auto lines = [&](const std::vector<MonitorLine> &v, const QString &kind) {
        for (const MonitorLine &m : v)
            addRow(MonitorTable,
                   {kind, m.label, shown(m.observed, dec), shown(m.expected, dec), shown(m.X2, dec),
                    QString::number(m.df), pText(m.p, dec),
                    m.flag == Flag::Critical  ? cohort::txt::flagCritical
                    : m.flag == Flag::Caution ? cohort::txt::flagCaution
                                              : QString()},
                   m.flag == Flag::Critical  ? kCriticalBack
                   : m.flag == Flag::Caution ? kCautionBack
                                             : QColor());
    };
    lines(f.monitorRows, txt::kindRow);
    lines(f.monitorColumns, txt::kindColumn);
    fitColumns(MonitorTable);

    // The backtest.
    if (r.backtest) {
        const Backtest &b = *r.backtest;
        lbBacktest->setText(txt::backtestSummary.arg(periodLabel(t, b.dataEnd, s.period))
                                .arg(b.covered)
                                .arg(b.forecast.rows.size()));
        for (const ForecastRow &x : b.forecast.rows)
            addRow(BacktestTable,
                   {x.label, x.observed ? shown(*x.observed, dec) : txt::none,
                    shown(x.expected, dec), intervalText(x.predictive, dec),
                    intervalText(x.plugin, dec)},
                   x.observed && (*x.observed < x.predictive.low || *x.observed > x.predictive.high)
                       ? kCautionBack
                       : QColor());
        const Total &bt = b.forecast.total;
        addRow(BacktestTable,
               {txt::rowTotal, bt.observed ? shown(*bt.observed, dec) : txt::none,
                shown(bt.expected, dec), intervalText(bt.predictive, dec),
                intervalText(bt.plugin, dec)},
               sum);
        fitColumns(BacktestTable);
        BacktestChart->setChartData(backtestChart(r, dec));
    }

    ClaimsChart->setChartData(claimsChart(r, dec));
    CostChart->setChartData(costChart(r, dec));
    colourGrid(f, t);
    m_result = r;
}

// ---------------------------------------------------------------------------------------
// Export and printing

QByteArray CohortForm::csvBytes() const
{
    const NumLocale nl = NumLocale::from(QLocale());
    const QChar sep = csvSeparator(nl);
    QString out;
    auto section = [&](const QString &heading, const QTableWidget *t) {
        if (t->rowCount() == 0)
            return;
        if (!out.isEmpty())
            out += QStringLiteral("\r\n");
        out += csvText({QStringList{heading}}, sep);
        out += csvText(viewCells(t), sep);
    };
    section(txt::tabEstimates, Estimates);
    section(txt::tabForecast, ForecastTable);
    section(txt::tabMonitor, MonitorTable);
    section(txt::tabBacktest, BacktestTable);
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

void CohortForm::btnExportClick()
{
    const QString start =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(printFileName(m_file, txt::printRole) + QStringLiteral(".csv"));
    QString path =
        exportDialogs().saveFileName(this, txt::csvCaption, txt::csvFilter, start, nullptr);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QByteArray bytes = csvBytes();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        exportDialogs().failed(
            this, txt::cannotWrite.arg(QDir::toNativeSeparators(path), f.errorString()));
}

void CohortForm::btnPrintClick()
{
    guarded([&] { printWindow(this, printFileName(m_file, txt::printRole)); });
}

// ---------------------------------------------------------------------------------------
// The main window's tab

QString cohortTabTitle() { return txt::tabTitle; }

QWidget *makeCohortTabPage(QWidget *mainWindow)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet5"));
    auto *b = new QPushButton(txt::tabButton, page);
    b->setObjectName(QStringLiteral("btnCohorts"));
    b->setGeometry(16, 20, 288, 64);
    QFont f = b->font();
    f.setPixelSize(13);
    f.setBold(true);
    b->setFont(f);
    auto *hint = new QLabel(txt::tabHint, page);
    hint->setWordWrap(true);
    hint->setGeometry(16, 96, 288, 90);
    QObject::connect(b, &QPushButton::clicked, mainWindow, [mainWindow] {
        auto *form = mainWindow->findChild<CohortForm *>(QStringLiteral("CohortForm"));
        if (!form)
            form = new CohortForm(mainWindow);
        form->show();
        form->raise();
        form->activateWindow();
    });
    return page;
}

}   // namespace obr::cohortui
