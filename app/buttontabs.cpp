// SPDX-License-Identifier: MIT
#include "buttontabs.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QStackedWidget>

namespace obr {

namespace {
constexpr int kButtonHeight = 24;
constexpr int kGap = 3;
constexpr int kTextPadding = 18;
}   // namespace

ButtonTabs::ButtonTabs(QWidget *parent)
    : QWidget(parent), m_group(new QButtonGroup(this)), m_stack(new QStackedWidget(this))
{
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &ButtonTabs::setCurrentIndex);
}

int ButtonTabs::addPage(QWidget *page, const QString &title, const QString &buttonName)
{
    auto *b = new QPushButton(title, this);
    b->setObjectName(buttonName);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::TabFocus);
    const int index = int(m_buttons.size());
    m_group->addButton(b, index);
    m_buttons.push_back(b);
    m_stack->addWidget(page);
    if (index == 0)
        b->setChecked(true);
    relayout();
    return index;
}

int ButtonTabs::count() const { return int(m_buttons.size()); }
int ButtonTabs::currentIndex() const { return m_stack->currentIndex(); }
QPushButton *ButtonTabs::tabButton(int index) const { return m_buttons.at(size_t(index)); }
QWidget *ButtonTabs::page(int index) const { return m_stack->widget(index); }
int ButtonTabs::tabsHeight() const { return m_tabsHeight; }

void ButtonTabs::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    m_buttons[size_t(index)]->setChecked(true);
    if (m_stack->currentIndex() != index) {
        m_stack->setCurrentIndex(index);
        emit currentChanged(index);
    }
}

void ButtonTabs::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    relayout();
}

void ButtonTabs::relayout()
{
    // Tabs flow left to right and wrap to the next line when the next one does not fit.
    int x = 0, y = 0;
    const int w = width();
    for (QPushButton *b : m_buttons) {
        const int bw = qMin(w, b->fontMetrics().horizontalAdvance(b->text()) + kTextPadding);
        if (x > 0 && x + bw > w) {
            x = 0;
            y += kButtonHeight + kGap;
        }
        b->setGeometry(x, y, bw, kButtonHeight);
        x += bw + kGap;
    }
    m_tabsHeight = m_buttons.empty() ? 0 : y + kButtonHeight + kGap;
    m_stack->setGeometry(0, m_tabsHeight, w, qMax(0, height() - m_tabsHeight));
}

}   // namespace obr
