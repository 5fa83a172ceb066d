// SPDX-License-Identifier: MIT
#include "mleview/ui/formmle.h"
#include "mleview/mleview_texts.h"

#include "chart/chartwidget.h"
#include "chart/printing.h"
#include "mleview/plots.h"
#include "desktop/tablecopy.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace obr;

namespace {

const QString kPrintRole = QStringLiteral("доверительные границы");

QTableWidget *makeGrid(QWidget *parent, const char *name)
{
    auto *g = new QTableWidget(parent);
    g->setObjectName(QLatin1String(name));
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::ContiguousSelection);
    g->verticalHeader()->hide();
    g->verticalHeader()->setDefaultSectionSize(20);
    g->setWordWrap(false);
    g->setTextElideMode(Qt::ElideNone);
    g->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    g->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    installTableCopy(g);
    return g;
}

void fill(QTableWidget *g, const mleview::TextTable &t)
{
    g->clear();
    g->setColumnCount(int(t.header.size()));
    g->setRowCount(int(t.rows.size()));
    QStringList header;
    for (const QString &h : t.header)
        header << h;
    g->setHorizontalHeaderLabels(header);
    for (int r = 0; r < int(t.rows.size()); ++r)
        for (int c = 0; c < int(t.rows[size_t(r)].size()); ++c)
            g->setItem(r, c, new QTableWidgetItem(t.rows[size_t(r)][size_t(c)]));
    g->resizeColumnsToContents();
}

}   // namespace

TFormMle::TFormMle(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormMle"));
    setWindowTitle(mtv::caption);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(12);
    setFont(f);

    Heading = new QLabel(this);
    Heading->setObjectName(QStringLiteral("Heading"));
    QFont hf = f;
    hf.setBold(true);
    Heading->setFont(hf);
    Heading->setWordWrap(true);
    Message = new QLabel(this);
    Message->setObjectName(QStringLiteral("Message"));
    Message->setWordWrap(true);
    Message->setStyleSheet(QStringLiteral("color: #A00000;"));
    Message->hide();
    BoundsGrid = makeGrid(this, "BoundsGrid");
    CausesLabel = new QLabel(mtv::causesTitle, this);
    CausesLabel->setObjectName(QStringLiteral("CausesLabel"));
    CausesLabel->setFont(hf);
    CausesGrid = makeGrid(this, "CausesGrid");
    PrintBtn = new QPushButton(QStringLiteral("Печать"), this);
    PrintBtn->setObjectName(QStringLiteral("PrintBtn"));
    CloseBtn = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));

    ProbPlot = new ChartWidget(this);
    ProbPlot->setObjectName(QStringLiteral("ProbPlot"));
    CausesChart = new ChartWidget(this);
    CausesChart->setObjectName(QStringLiteral("CausesChart"));
    ObsExpChart = new ChartWidget(this);
    ObsExpChart->setObjectName(QStringLiteral("ObsExpChart"));
    auto *top = new QHBoxLayout;
    top->addWidget(Heading, 1);
    top->addWidget(PrintBtn);
    top->addWidget(CloseBtn);
    auto *left = new QVBoxLayout;
    left->addWidget(BoundsGrid, 3);
    left->addWidget(CausesLabel);
    left->addWidget(CausesGrid, 1);
    left->addWidget(ObsExpChart, 2);
    auto *right = new QVBoxLayout;
    right->addWidget(ProbPlot, 5);
    right->addWidget(CausesChart, 4);
    m_body = new QHBoxLayout;
    m_body->addLayout(left, 11);
    m_body->addLayout(right, 9);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(Message);
    all->addLayout(m_body, 1);

    connect(PrintBtn, &QPushButton::clicked, this, &TFormMle::PrintBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::hide);
    resize(1240, 900);
}

void TFormMle::setFit(const State &s, const mle::MleResult *fit,
                      const std::vector<mle::CauseFit> &causes, bool lr, QChar dec)
{
    m_dataFile = s.loadedFile;
    m_pending = false;
    for (QWidget *w : {static_cast<QWidget *>(BoundsGrid), static_cast<QWidget *>(CausesGrid),
                       static_cast<QWidget *>(ProbPlot)})
        w->setEnabled(true);
    std::vector<QString> names;
    for (const Vid_otkaza &v : s.Vidy_otkazov)
        names.push_back(v.Nazv_Prich);
    m_bounds = fit ? mleview::boundsView(*fit, lr, dec) : mleview::BoundsView{};
    m_causes = mleview::causesTable(causes, names, lr, dec);
    Heading->setText(m_bounds.heading);
    Message->setText(m_bounds.message);
    Message->setVisible(!m_bounds.message.isEmpty());
    fill(BoundsGrid, m_bounds.table);
    fill(CausesGrid, m_causes);
    CausesLabel->setText(m_causes.rows.empty() ? mtv::noCauses : mtv::causesTitle);
    replaceChart(ProbPlot, fit ? mleview::probabilityPlot(s, *fit, lr, dec) : ChartData{});
    replaceChart(CausesChart, mleview::causesChart(s, causes, dec));
    replaceChart(ObsExpChart, fit ? mleview::observedExpectedChart(s, *fit, dec) : ChartData{});
}

void TFormMle::replaceChart(ChartWidget *&w, const ChartData &d)
{
    auto *fresh = new ChartWidget(this);
    fresh->setObjectName(w->objectName());
    fresh->setEnabled(w->isEnabled());
    fresh->setChartData(d);
    for (QLayout *l : findChildren<QLayout *>())
        if (QLayoutItem *item = l->replaceWidget(w, fresh, Qt::FindDirectChildrenOnly)) {
            delete item;   // the old widget's item, handed back to the caller
            delete w;
            w = fresh;
            return;
        }
    // Not in a layout (never the case): keep the old widget with the new content.
    delete fresh;
    w->setChartData(d);
}

void TFormMle::setPending(const QString &levelText)
{
    m_pending = true;
    Heading->setText(mtv::pendingHeading(levelText));
    // The figures' bounds (the rows above the statistics of the fit) and the causes' bounds.
    const int figures = std::max(0, BoundsGrid->rowCount() - mleview::kFitStatisticsRows);
    for (int r = 0; r < figures; ++r)
        for (int c = 2; c < BoundsGrid->columnCount(); ++c)
            if (QTableWidgetItem *it = BoundsGrid->item(r, c))
                it->setText(QString());
    for (int r = 0; r < CausesGrid->rowCount(); ++r)
        for (int c = 2; c < CausesGrid->columnCount(); ++c)
            if (QTableWidgetItem *it = CausesGrid->item(r, c))
                it->setText(QString());
    ChartData plot = ProbPlot->chartData();
    std::erase_if(plot.series, [](const SeriesData &sd) {
        return sd.name == u"BandLow" || sd.name == u"BandHigh";
    });
    for (QWidget *w : {static_cast<QWidget *>(BoundsGrid), static_cast<QWidget *>(CausesGrid)})
        w->setEnabled(false);
    ProbPlot->setEnabled(false);
    replaceChart(ProbPlot, plot);
}

void TFormMle::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (m_placed || !screen())
        return;
    // Opens whole on its screen: the designed size where it fits, with room for the frame.
    m_placed = true;
    const QRect avail = screen()->availableGeometry();
    const QSize room = avail.size().shrunkBy(QMargins(4, 32, 4, 4));
    resize(size().boundedTo(room));
    // The title bar stays on the screen whether or not the frame is known yet.
    move(avail.left() + std::max(0, (room.width() - width()) / 2), avail.top() + 28);
}

void TFormMle::PrintBtnClick() { printWindow(this, printFileName(m_dataFile, kPrintRole)); }
