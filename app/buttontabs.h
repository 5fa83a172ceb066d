// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief A page control whose tabs are drawn as buttons that wrap onto several lines
 * when they do not fit side by side.
 */
#include <QWidget>
#include <vector>

class QButtonGroup;
class QPushButton;
class QStackedWidget;

namespace obr {

class ButtonTabs : public QWidget {
    Q_OBJECT
public:
    explicit ButtonTabs(QWidget *parent = nullptr);

    //! Appends a page; its tab button gets the object name \a buttonName.
    int addPage(QWidget *page, const QString &title, const QString &buttonName);
    int count() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    QPushButton *tabButton(int index) const;
    QWidget *page(int index) const;
    //! Height taken by the rows of tab buttons.
    int tabsHeight() const;

signals:
    void currentChanged(int index);

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void relayout();

    QButtonGroup *m_group;
    QStackedWidget *m_stack;
    std::vector<QPushButton *> m_buttons;
    int m_tabsHeight = 0;
};

}   // namespace obr
