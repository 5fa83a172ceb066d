// SPDX-License-Identifier: MIT
#include "form2.h"
#include "expandform.h"
#include "uifonts.h"

#include "chart/chartwidget.h"
#include "chart/printing.h"
#include "desktop/tablecopy.h"
#include "model/errors.h"

#include <QChart>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

using obr::ui::designFont;

namespace {
const QString kCaption =
    QStringLiteral("Количественный анализ закона распределения отказов. Анализ надежности в "
                   "эксплуатации.  Версия " OBROTK_VERSION);
constexpr int kRowHeight = 20;
constexpr int kCellMargins = 8; // the grid's own margins on both sides of a cell text
} // namespace

TForm2::TForm2(obr::State *state, TExpandForm *expand, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                          Qt::WindowContextHelpButtonHint),
      m_state(state), m_expand(expand)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kCaption);
    setFont(designFont(QStringLiteral("MS Sans Serif"), 11));
    resize(1428, 862);

    Chart2 = new obr::ChartWidget(this);
    Chart2->setObjectName(QStringLiteral("Chart2"));
    Chart2->setGeometry(0, 0, 650, 369);
    Chart1 = new obr::ChartWidget(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setGeometry(1, 368, 649, 491);
    Chart3 = new obr::ChartWidget(this);
    Chart3->setObjectName(QStringLiteral("Chart3"));
    Chart3->setGeometry(648, 368, 777, 491);

    Label10 = new QLabel(QStringLiteral("Комментарий"), this);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setFont(designFont(QStringLiteral("Arial Black"), 17));
    Label10->setGeometry(656, 6, 1428 - 656 - 8, 30);

    Result_Grid = new QTableWidget(obr::ResultsTable::Rows, obr::ResultsTable::Cols, this);
    Result_Grid->setObjectName(QStringLiteral("Result_Grid"));
    Result_Grid->setGeometry(648, 95, 777, 267);
    Result_Grid->setFont(obr::ui::gridFont(12));
    // Cells carry trailing spaces up to the column width: never elide them.
    Result_Grid->setTextElideMode(Qt::ElideNone);
    Result_Grid->horizontalHeader()->hide();
    Result_Grid->verticalHeader()->hide();
    Result_Grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Result_Grid->verticalHeader()->setMinimumSectionSize(kRowHeight);
    Result_Grid->horizontalHeader()->setDefaultSectionSize(obr::ResultsTable::DefaultWidth);
    Result_Grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Result_Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Result_Grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Result_Grid->setWordWrap(false);
    Result_Grid->setTabKeyNavigation(true);
    Result_Grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Result_Grid->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    for (int r = 0; r < obr::ResultsTable::Rows; ++r)
        Result_Grid->setRowHeight(r, kRowHeight);
    // Columns are resized by dragging a column boundary, as in the header row of a grid.
    Result_Grid->viewport()->installEventFilter(this);
    Result_Grid->viewport()->setMouseTracking(true);
    fillGrid(obr::ResultsTable{});

    Button1 = new QPushButton(QStringLiteral("Печать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(1232, 40, 73, 40);
    Prodolgenie = new QPushButton(QStringLiteral("Продолж."), this);
    Prodolgenie->setObjectName(QStringLiteral("Prodolgenie"));
    Prodolgenie->setGeometry(1333, 40, 75, 40);
    Button2 = new QPushButton(QStringLiteral("Expand"), Chart1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(8, 7, 49, 25);
    Button2->raise();
    ButtonCsv = new QPushButton(QStringLiteral("Экспорт в CSV…"), this);
    ButtonCsv->setObjectName(QStringLiteral("ButtonCsv"));
    ButtonCsv->setGeometry(1124, 40, 100, 40);
    obr::installTableCopy(Result_Grid);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Prodolgenie, &QPushButton::clicked, this, &TForm2::ProdolgenieClick);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(ButtonCsv, &QPushButton::clicked, this, &TForm2::ExportCsvClick);
}

void TForm2::Diagrams() { Diagrams(obr::NumLocale::from(QLocale())); }

void TForm2::Diagrams(const obr::NumLocale &nl)
{
    {
        obr::ui::BusyCursor busy;
        m_nl = nl;
        const QFontMetrics fm(Result_Grid->font());
        const obr::TextWidth width = [&fm](const QString &t) { return fm.horizontalAdvance(t); };
        m_view = obr::computeResults(*m_state, nl, width, m_titles);
        Chart1->setChartData(m_view.chart1);
        Chart2->setChartData(m_view.chart2);
        Chart3->setChartData(m_view.chart3);
        obr::ui::setFittedText(Label10, m_view.label10, designFont(QStringLiteral("Arial Black"), 17),
                               12);
        fillGrid(m_view.table);
        Button2->raise();
        show();
        raise();
    }
}

void TForm2::fillGrid(const obr::ResultsTable &t)
{
    const QBrush fixedBrush = palette().brush(QPalette::Button);
    for (int c = 0; c < obr::ResultsTable::Cols; ++c) {
        if (t.widths[size_t(c)] > 0)
            Result_Grid->setColumnWidth(c, t.widths[size_t(c)]);
        for (int r = 0; r < obr::ResultsTable::Rows; ++r) {
            QTableWidgetItem *it = Result_Grid->item(r, c);
            if (!it) {
                it = new QTableWidgetItem;
                Result_Grid->setItem(r, c, it);
            }
            it->setText(t.cell(c, r));
            it->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            if (r == 0) { // the fixed header row
                it->setFlags(Qt::ItemIsEnabled);
                it->setBackground(fixedBrush);
            }
        }
    }
    // A column the pass filled is widened when a text (without its padding) would be cut:
    // capped times of 10000000000 hours and the quantiles of a very flat model are longer
    // than the designed widths.
    const QFontMetrics fm(Result_Grid->font());
    for (int c = 0; c < obr::ResultsTable::Cols; ++c) {
        if (t.widths[size_t(c)] <= 0)
            continue;
        int need = 0;
        for (int r = 0; r < obr::ResultsTable::Rows; ++r) {
            QString text = t.cell(c, r);
            while (text.endsWith(u' '))
                text.chop(1);
            need = std::max(need, fm.horizontalAdvance(text) + kCellMargins);
        }
        if (need > Result_Grid->columnWidth(c))
            Result_Grid->setColumnWidth(c, need);
    }
}

bool TForm2::eventFilter(QObject *watched, QEvent *e)
{
    if (watched != Result_Grid->viewport())
        return QWidget::eventFilter(watched, e);
    auto boundaryAt = [this](int x) {
        // the column whose right edge is within 3 px of x
        for (int c = 0; c < Result_Grid->columnCount(); ++c) {
            const int edge = Result_Grid->columnViewportPosition(c) + Result_Grid->columnWidth(c);
            if (std::abs(x - edge) <= 3)
                return c;
        }
        return -1;
    };
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(e);
        const int c = boundaryAt(me->position().toPoint().x());
        if (me->button() == Qt::LeftButton && c >= 0) {
            m_dragColumn = c;
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(e);
        const int x = me->position().toPoint().x();
        if (m_dragColumn >= 0) {
            const int w = x - Result_Grid->columnViewportPosition(m_dragColumn);
            Result_Grid->setColumnWidth(m_dragColumn, std::max(8, w));
            return true;
        }
        if (boundaryAt(x) >= 0)
            Result_Grid->viewport()->setCursor(Qt::SplitHCursor);
        else
            Result_Grid->viewport()->unsetCursor();
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragColumn >= 0) {
            m_dragColumn = -1;
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, e);
}

void TForm2::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!m_placed) { // centred on the desktop when first shown
        m_placed = true;
        if (QScreen *s = screen()) {
            QRect r = frameGeometry();
            r.moveCenter(s->availableGeometry().center());
            move(r.topLeft());
        }
    }
}

void TForm2::Button1Click() { obr::printWindow(this); }

void TForm2::ProdolgenieClick() { hide(); }

void TForm2::Button2Click()
{
    if (!m_expand)
        return;
    try {
        m_expand->ExpandDia_1();
    } catch (const obr::UserError &e) {
        QMessageBox::critical(this, windowTitle(), e.message());
    } catch (const std::exception &e) {
        QMessageBox::critical(this, windowTitle(), QString::fromLocal8Bit(e.what()));
    }
}
