// SPDX-License-Identifier: MIT
#include "form3.h"

#include "chart/chartwidget.h"
#include "chart/printing.h"
#include "model/errors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

using namespace obr;

namespace {

//! The window's caption, with the program's version.
QString form3Caption()
{
    return QStringLiteral("Результат непараметрического анализа. Анализ надежности в "
                          "эксплуатации. ") +
           QStringLiteral("Версия %1").arg(QStringLiteral(OBROTK_VERSION));
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QFont pixelFont(const QFont &base, int px, QFont::Weight weight)
{
    QFont f = base;
    f.setPixelSize(px);
    f.setWeight(weight);
    return f;
}

}   // namespace

TForm3::TForm3(State *state, QWidget *parent) : QWidget(parent), m_state(state) { setupUi(); }

void TForm3::setupUi()
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(form3Caption());
    QFont base(QStringLiteral("Liberation Sans"));
    base.setPixelSize(12);
    setFont(base);

    Label10 = makeLabel(this, "Label10", QStringLiteral("Комментарий"));
    Label10->setFont(pixelFont(base, 17, QFont::Black));
    Label10->setAlignment(Qt::AlignCenter);
    Label10->setWordWrap(true);

    Chart3 = new ChartWidget(this);
    Chart3->setObjectName(QStringLiteral("Chart3"));
    Chart3->setChartData(chart3Design());

    Label1 = makeLabel(this, "Label1",
                       QStringLiteral("Средняя наработка на отказ по гарантийным изделиям"));
    Label2 = makeLabel(this, "Label2", QStringLiteral("Без учета цензурирования"));
    Label3 = makeLabel(this, "Label3", QStringLiteral("С учетом цензурирования"));
    Label4 = makeLabel(this, "Label4", QStringLiteral("Параметры цензурирования"));
    Label5 = makeLabel(this, "Label5", QStringLiteral("Среднее время"));
    Label6 = makeLabel(this, "Label6", QStringLiteral("СКО"));
    Label7 = makeLabel(this, "Label7", QStringLiteral("Количество контролируемых изделий"));
    Label8 = makeLabel(this, "Label8", QStringLiteral("Общее число отказов"));
    Label1->setFont(pixelFont(base, 12, QFont::Bold));
    Label4->setFont(pixelFont(base, 12, QFont::Bold));

    Button1 = new QPushButton(QStringLiteral("Печать формы"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumSize(110, 32);

    // The figures under the chart: half-fleet times on the left, the censoring
    // parameters and fleet figures beside them, the print button at the right.
    auto *times = new QVBoxLayout;
    times->setSpacing(4);
    for (QLabel *l : {Label1, Label2, Label3})
        times->addWidget(l);
    times->addStretch();
    auto *params = new QVBoxLayout;
    params->setSpacing(4);
    for (QLabel *l : {Label4, Label5, Label6, Label7, Label8})
        params->addWidget(l);
    auto *figures = new QHBoxLayout;
    figures->addLayout(times);
    figures->addSpacing(24);
    figures->addLayout(params);
    figures->addStretch();
    figures->addWidget(Button1, 0, Qt::AlignBottom);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 4, 8, 8);
    page->addWidget(Label10);
    page->addWidget(Chart3, 1);
    page->addLayout(figures);

    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    resize(814, 604);
}

void TForm3::Histogram_Exp() { Histogram_Exp(NumLocale::from(QLocale())); }

void TForm3::Histogram_Exp(const NumLocale &nl)
{
    // The core throws before it changes anything, so a refused analysis leaves the
    // window showing the previous one.
    NonparamResult r = obr::Histogram_Exp(*m_state, nl);
    m_result = std::move(r);

    const NonparamTexts &t = m_result.texts;
    Label10->setText(t.Label10);
    Label2->setText(t.Label2);
    Label3->setText(t.Label3);
    Label5->setText(t.Label5);
    Label6->setText(t.Label6);
    Label7->setText(t.Label7);
    Label8->setText(t.Label8);
    Label2->setToolTip(t.hint2);
    Label3->setToolTip(t.hint3);
    Chart3->setChartData(m_result.chart);

    show();
    raise();
    activateWindow();
}

void TForm3::Button1Click()
{
    printWindow(this,
                printFileName(m_state->loadedFile, QStringLiteral("непараметрический анализ")));
}
