// SPDX-License-Identifier: MIT
#include "expandform.h"
#include "chart/fonts.h"

#include "chart/chartwidget.h"
#include "chart/printing.h"
#include "results/results_texts.h"

#include <QChart>
#include <QLabel>
#include <QPushButton>

using obr::ui::designFont;

namespace {
const QString kCaption = QStringLiteral("Поток отказов. Версия " OBROTK_VERSION);
constexpr int kBottomStrip = 28;   // room for the 50% times below the chart
constexpr int kTopStrip = 36;      // room for the data-set caption above the chart title
}   // namespace

TExpandForm::TExpandForm(obr::State *state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("ExpandForm"));
    setWindowTitle(kCaption);
    setFont(designFont(QStringLiteral("Tahoma"), 11));
    resize(1423, 861);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Chart1 = new obr::ChartWidget(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->chart()->setMargins(QMargins(4, kTopStrip, 4, 4));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(designFont(QStringLiteral("Arial"), 21, true));
    Label1->setAlignment(Qt::AlignCenter);
    Label4 =
        new QLabel(QStringLiteral("50%-я наработка на отказ по документированным случаям:"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    for (QLabel *l : {Label2, Label3, Label4})
        l->setFont(designFont(QStringLiteral("Tahoma"), 13));

    Button2 = new QPushButton(QStringLiteral("Print"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button2, &QPushButton::clicked, this, &TExpandForm::Button2Click);
    placeControls();
}

void TExpandForm::ExpandDia_1() { ExpandDia_1(obr::NumLocale::from(QLocale())); }

void TExpandForm::ExpandDia_1(const obr::NumLocale &nl)
{
    obr::ui::BusyCursor busy;
    fill(nl);
    showMaximized();
    raise();
}

void TExpandForm::fill(const obr::NumLocale &nl)
{
    m_view = obr::computeExpand(*m_state, nl, m_memory);
    Chart1->setChartData(m_view.chart);
    Label2->setText(m_view.label2);
    Label3->setText(m_view.label3);
    Label4->setText(m_view.label4);
    placeControls();
}

void TExpandForm::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    placeControls();
}

void TExpandForm::placeControls()
{
    if (!Chart1)
        return;
    const int w = width(), h = height();
    Chart1->setGeometry(-1, 0, w + 2, h - kBottomStrip);
    Label1->setGeometry(70, 4, w - 140, 30);
    // The counts after the comment are never elided.
    const QString &comment = m_state->Comment;
    const bool split = m_view.label1.startsWith(comment);
    obr::ui::setFittedText(Label1, split ? comment : m_view.label1,
                           split ? m_view.label1.mid(comment.size()) : QString(),
                           designFont(QStringLiteral("Arial"), 21, true), 14);
    Button2->setGeometry(9, 10, 49, 25);
    // The bottom line: the caption, then the two times, each after the previous text.
    const int y = h - kBottomStrip + 4;
    Label4->adjustSize();
    Label4->move(129, y);
    Label2->adjustSize();
    Label2->move(std::max(536, Label4->geometry().right() + 12), y);
    Label3->adjustSize();
    Label3->move(std::max(920, Label2->geometry().right() + 12), y);
    Label1->raise();
    Button2->raise();
}

void TExpandForm::Button2Click()
{
    obr::printWindow(this, obr::printFileName(m_state->loadedFile, obr::rtxt::printExpand));
}
