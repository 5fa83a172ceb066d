// SPDX-License-Identifier: MIT
#include "form2.h"
#include "expandform.h"
#include "chart/fonts.h"

#include "chart/chartwidget.h"
#include "chart/printing.h"
#include "desktop/tablecopy.h"
#include "model/errors.h"
#include "mleview/ui/formmle.h"
#include "results/results_texts.h"

#include <QChart>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>

using obr::ui::designFont;

namespace {
const QString kCaption =
    QStringLiteral("Количественный анализ закона распределения отказов. Анализ надежности в "
                   "эксплуатации.  Версия " OBROTK_VERSION);
constexpr int kRowHeight = 20;
constexpr int kCellMargins = 8;   // the grid's own margins on both sides of a cell text
}   // namespace

TForm2::TForm2(obr::State *state, TExpandForm *expand, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                          Qt::WindowContextHelpButtonHint),
      m_state(state), m_expand(expand)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kCaption);
    setFont(designFont(QStringLiteral("MS Sans Serif"), 11));
    resize(kDesignSize);

    // The contents lie on a canvas in a scroll area: laid out anew for any size from
    // kMinimumContents up (a maximised window uses the whole screen), scrolled below it.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("Form2Scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("Form2Contents"));
    m_canvas->setMinimumSize(kMinimumContents);
    m_scroll->setWidget(m_canvas);
    m_canvas->installEventFilter(this);
    QWidget *const canvas = m_canvas;

    Chart2 = new obr::ChartWidget(canvas);
    Chart2->setObjectName(QStringLiteral("Chart2"));
    Chart1 = new obr::ChartWidget(canvas);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart3 = new obr::ChartWidget(canvas);
    Chart3->setObjectName(QStringLiteral("Chart3"));

    Label10 = new QLabel(QStringLiteral("Комментарий"), canvas);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setFont(designFont(QStringLiteral("Arial Black"), 17));

    Result_Grid = new QTableWidget(obr::ResultsTable::Rows, obr::ResultsTable::Cols, canvas);
    Result_Grid->setObjectName(QStringLiteral("Result_Grid"));
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

    Button1 = new QPushButton(QStringLiteral("Печать"), canvas);
    Button1->setObjectName(QStringLiteral("Button1"));
    Prodolgenie = new QPushButton(QStringLiteral("Продолж."), canvas);
    Prodolgenie->setObjectName(QStringLiteral("Prodolgenie"));
    Button2 = new QPushButton(QStringLiteral("Expand"), Chart1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(8, 7, 49, 25);
    Button2->raise();
    ButtonCsv = new QPushButton(QStringLiteral("Экспорт в CSV…"), canvas);
    ButtonCsv->setObjectName(QStringLiteral("ButtonCsv"));
    ButtonMle = new QPushButton(obr::rtxt::buttonMle, canvas);
    ButtonMle->setObjectName(QStringLiteral("ButtonMle"));
    ButtonMle->hide();
    EarlierData = new QLabel(canvas);
    EarlierData->setObjectName(QStringLiteral("EarlierData"));
    EarlierData->setWordWrap(true);
    EarlierData->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    EarlierData->hide();
    obr::installTableCopy(Result_Grid);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Prodolgenie, &QPushButton::clicked, this, &TForm2::ProdolgenieClick);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(ButtonCsv, &QPushButton::clicked, this, &TForm2::ExportCsvClick);
    connect(ButtonMle, &QPushButton::clicked, this, &TForm2::ButtonMleClick);

    m_scroll->setGeometry(rect());
    m_canvas->resize(kDesignSize);
    placeControls();
}

void TForm2::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    m_scroll->setGeometry(rect());
}

void TForm2::placeControls()
{
    // At the design size every control stands where the design puts it. Extra or missing
    // width is shared by the two columns in the design's proportion; the band of the table
    // keeps its height and the two lower charts take the rest.
    if (!Prodolgenie)
        return;   // still being built
    const int W = m_canvas->width(), H = m_canvas->height();
    const int left = 650 + (W - kDesignSize.width()) * 650 / kDesignSize.width();
    const int x = left - 2;   // the right column: 648 in the design
    const int rightW = W - x - 3;
    const int lowerH = H - 368 - 3;
    Chart2->setGeometry(0, 0, left, 369);
    Chart1->setGeometry(1, 368, left - 1, lowerH);
    Chart3->setGeometry(x, 368, rightW, lowerH);
    Label10->setGeometry(x + 8, 6, W - x - 16, 30);
    Result_Grid->setGeometry(x, 95, rightW, 267);
    Button1->setGeometry(W - 196, 40, 73, 40);
    Prodolgenie->setGeometry(W - 95, 40, 75, 40);
    if (ButtonCsv)
        ButtonCsv->setGeometry(W - 304, 40, 100, 40);
    if (ButtonMle)
        ButtonMle->setGeometry(W - 424, 40, 112, 40);
    if (EarlierData)
        EarlierData->setGeometry(x + 8, 38, std::max(80, W - 432 - x - 8), 54);
    fitHeading();
}

void TForm2::fitHeading()
{
    // The fleet count after the comment is never elided.
    if (m_headingHead.isEmpty() && m_headingTail.isEmpty())
        return;
    obr::ui::setFittedText(Label10, m_headingHead, m_headingTail,
                           designFont(QStringLiteral("Arial Black"), 17), 12);
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
        const QString &comment = m_state->Comment;
        const bool split = m_view.label10.startsWith(comment);
        m_headingHead = split ? comment : m_view.label10;
        m_headingTail = split ? m_view.label10.mid(comment.size()) : QString();
        fitHeading();
        fillGrid(m_view.table);
        m_viewFile = m_state->loadedFile;
        m_earlier = false;
        EarlierData->hide();
        ButtonCsv->setEnabled(true);
        Button2->setEnabled(true);
        Button2->raise();
        show();
        raise();
    }
}

void TForm2::fillGrid(const obr::ResultsTable &t)
{
    const QBrush fixedBrush = palette().brush(QPalette::Button);
    // The designed six columns; one more when the maximum-likelihood model is shown
    // beside the four others (the grid scrolls then).
    const int cols =
        std::max(obr::ResultsTable::Cols, std::min(t.dataColumn + 1, obr::ResultsTable::MaxCols));
    if (Result_Grid->columnCount() != cols)
        Result_Grid->setColumnCount(cols);
    for (int c = 0; c < cols; ++c) {
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
            if (r == 0) {   // the fixed header row: not edited, but copied with the rest
                it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                it->setBackground(fixedBrush);
            }
        }
    }
    // A column the pass filled is widened when a text (without its padding) would be cut:
    // capped times of 10000000000 hours and the quantiles of a very flat model are longer
    // than the designed widths.
    const QFontMetrics fm(Result_Grid->font());
    for (int c = 0; c < cols; ++c) {
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
    if (watched == m_canvas && e->type() == QEvent::Resize) {
        placeControls();
        return false;
    }
    if (!Result_Grid || watched != Result_Grid->viewport())
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
    if (!m_placed) {   // centred on the desktop when first shown
        m_placed = true;
        fitToScreen();
    }
}

void TForm2::fitToScreen()
{
    QScreen *s = screen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    // The frame is known once the window manager has framed the window; before that, room
    // for a usual title bar and border.
    const QRect outer = frameGeometry(), inner = geometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (frame.isNull())
        frame = QMargins(4, 32, 4, 4);
    const QSize room = avail.size().shrunkBy(frame);
    if (!isMaximized() && !isFullScreen())
        resize(kDesignSize.boundedTo(room));
    // Centred, and whole: the title bar never above or left of the screen's work area.
    QRect r(QPoint(), size().grownBy(frame));
    r.moveCenter(avail.center());
    r.moveLeft(std::max(avail.left(), std::min(r.left(), avail.right() + 1 - r.width())));
    r.moveTop(std::max(avail.top(), std::min(r.top(), avail.bottom() + 1 - r.height())));
    move(r.topLeft());
}

void TForm2::Button1Click()
{
    // The print carries the name of the data its figures belong to.
    obr::printWindow(this, obr::printFileName(m_viewFile, obr::rtxt::printResults));
}

void TForm2::setDataChanged(const QString &earlierFile)
{
    if (m_viewFile.isEmpty() && m_view.table.cell(0, 0).isEmpty())
        return;   // nothing shown yet
    m_earlier = true;
    EarlierData->setText(obr::rtxt::earlierData(QFileInfo(earlierFile).fileName()));
    EarlierData->show();
    EarlierData->raise();
    // The export and the enlarged chart read the loaded data: not beside these figures.
    ButtonCsv->setEnabled(false);
    Button2->setEnabled(false);
    if (m_expand)
        m_expand->hide();
}

void TForm2::setMaxPrNotice(const QString &text)
{
    m_mleNotice = text;
    refreshMleWindow();
}

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

void TForm2::setMaxPr(const obr::mle::MleResult *fit, const std::vector<obr::mle::CauseFit> &causes,
                      bool lr)
{
    m_mle = fit ? std::optional<obr::mle::MleResult>(*fit) : std::nullopt;
    m_mleCauses = causes;
    m_mleLr = lr;
    m_mlePending.clear();
    m_mleNotice.clear();
    ButtonMle->setVisible(m_mle.has_value());
    if (!m_mle && m_mleWindow)
        m_mleWindow->hide();
    refreshMleWindow();
}

void TForm2::setMaxPrPending(const QString &levelText)
{
    m_mlePending = levelText;
    refreshMleWindow();
}

void TForm2::refreshMleWindow()
{
    if (!m_mleWindow)
        return;
    m_mleWindow->setFit(*m_state, m_mle ? &*m_mle : nullptr, m_mleCauses, m_mleLr, m_nl.dec);
    if (!m_mlePending.isEmpty())
        m_mleWindow->setPending(m_mlePending);
    if (!m_mleNotice.isEmpty()) {
        const QString shown = m_mleWindow->Message->text();
        m_mleWindow->Message->setText(shown.isEmpty() ? m_mleNotice : m_mleNotice + u'\n' + shown);
        m_mleWindow->Message->show();
    }
}

void TForm2::ButtonMleClick()
{
    if (!m_mle)
        return;
    if (!m_mleWindow)
        m_mleWindow = new TFormMle(this);
    refreshMleWindow();
    m_mleWindow->show();
    m_mleWindow->raise();
}
