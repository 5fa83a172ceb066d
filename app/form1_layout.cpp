// SPDX-License-Identifier: MIT
// The controls of the main window: names, texts, hints, defaults and the places of the
// design (client rectangles in pixels).
#include "app/buttontabs.h"
#include "app/failuregridmodel.h"
#include "app/form1_texts.h"
#include "app/logpump.h"
#include "app/obrotk2015.h"
#include "cohort/ui/cohortform.h"
#include "life/ui/lifeform.h"
#include "model/texts.h"
#include "chart/fonts.h"

#include <QButtonGroup>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSlider>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QToolTip>

using namespace obr;

namespace {

template <class W, class... Args>
W *make(QWidget *parent, const char *name, QRect geometry, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, QPoint at, int width = 0)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->adjustSize();
    l->move(at);
    if (width > 0)
        l->resize(width, l->height());
    return l;
}

QFont withPixelSize(QFont f, int px, bool bold)
{
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

constexpr int kEditH = 21;
constexpr QSize kDesignSize(1205, 675);

//! The face of the heading Label10: large and black.
QFont headingFont()
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(17);
    f.setWeight(QFont::Black);
    return f;
}

//! Combo boxes with a narrow drop-down arrow, for a row of small option boxes.
class NarrowComboStyle : public QProxyStyle {
public:
    static constexpr int kArrow = 11;
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex *opt, SubControl sc,
                         const QWidget *w) const override
    {
        QRect r = QProxyStyle::subControlRect(cc, opt, sc, w);
        if (cc != CC_ComboBox)
            return r;
        const QRect all = opt->rect;
        if (sc == SC_ComboBoxArrow)
            return QRect(all.right() - kArrow - 1, all.top() + 1, kArrow, all.height() - 2);
        if (sc == SC_ComboBoxEditField)
            return QRect(all.left() + 3, all.top() + 2, all.width() - kArrow - 6, all.height() - 4);
        return r;
    }
};

}   // namespace

void TForm1::setupUi()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(form1txt::caption);
    // Opens at the design size and never gets smaller; maximised (or enlarged), the grid
    // and the log take the extra room (placeResizable).
    setMinimumSize(kDesignSize);
    resize(kDesignSize);
    move(20, 20);
    QFont base(QStringLiteral("Liberation Sans"));
    base.setPixelSize(12);
    setFont(base);

    // Heading: the comment line of the loaded file, in a large black face.
    Label10 = make<QLabel>(this, "Label10", {8, 0, 720, 33});
    Label10->setFont(headingFont());

    // ---- Page control with three tabs drawn as buttons
    PageControl = make<ButtonTabs>(this, "PageControl", {0, 33, 320, 460});

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl->addPage(TabSheet1, form1txt::tab1, QStringLiteral("TabSheet1Tab"));
    PageControl->addPage(TabSheet2, form1txt::tab2, QStringLiteral("TabSheet2Tab"));
    PageControl->addPage(TabSheet3, form1txt::tab3, QStringLiteral("TabSheet3Tab"));
    PageControl->addPage(lifeui::makeLifeTabPage(this), lifeui::lifeTabTitle(),
                         QStringLiteral("TabSheet4Tab"));
    PageControl->addPage(cohortui::makeCohortTabPage(this), cohortui::cohortTabTitle(),
                         QStringLiteral("TabSheet5Tab"));
    // The fourth and fifth tabs share the last row of tabs a pixel smaller, so that no page
    // loses height (the buttons are laid out again when the control is first shown).
    for (int i : {3, 4}) {
        QFont f = PageControl->tabButton(i)->font();
        f.setPixelSize(11);
        PageControl->tabButton(i)->setFont(f);
    }
    PageControl->setCurrentIndex(0);

    // Tab 1: the main fitting methods
    {
        QWidget *p = TabSheet1;
        Label4 = label(p, "Label4", form1txt::Label4, {8, 6});
        Label4->setFont(withPixelSize(font(), 12, true));
        Label4->adjustSize();
        Label5 = label(p, "Label5", form1txt::Label5, {8, 33});
        Edit1 = make<QLineEdit>(p, "Edit1", {222, 30, 88, kEditH}, QStringLiteral("1.00025"));
        Label17 = label(p, "Label17", form1txt::Label17, {8, 58});
        Edit6 = make<QLineEdit>(p, "Edit6", {222, 55, 88, kEditH}, QStringLiteral("1.00025"));
        Label16 = label(p, "Label16", form1txt::Label16, {8, 83});
        Edit5 = make<QLineEdit>(p, "Edit5", {222, 80, 88, kEditH}, QStringLiteral("1.0005"));
        Edit1->setPlaceholderText(form1txt::stepPlaceholder);
        Edit6->setPlaceholderText(form1txt::stepPlaceholder);
        Label5->setBuddy(Edit1);
        Label17->setBuddy(Edit6);
        Label16->setBuddy(Edit5);

        SpirSpusk = make<QCheckBox>(p, "SpirSpusk", {8, 108, 310, 20}, form1txt::SpirSpusk);
        SpirSpusk->setChecked(true);
        BoxNewton = make<QCheckBox>(p, "BoxNewton", {8, 129, 304, 20}, form1txt::BoxNewton);
        BoxSmirnow = make<QCheckBox>(p, "BoxSmirnow", {8, 150, 304, 20}, form1txt::BoxSmirnow);
        Sred_flag = make<QCheckBox>(p, "Sred_flag", {8, 176, 140, 20}, form1txt::Sred_flag);
        SKO_Flag = make<QCheckBox>(p, "SKO_Flag", {150, 176, 140, 20}, form1txt::SKO_Flag);

        RadioGroup1 = make<QGroupBox>(p, "RadioGroup1", {8, 202, 302, 92}, form1txt::RadioGroup1);
        RadioGroup1Items = new QButtonGroup(RadioGroup1);
        RadioGroup1Items->setObjectName(QStringLiteral("RadioGroup1Items"));
        for (int i = 0; i < 3; ++i) {
            auto *r = new QRadioButton(form1txt::criterion[i], RadioGroup1);
            r->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
            r->setGeometry(12, 22 + 22 * i, 280, 20);
            RadioGroup1Items->addButton(r, i);
        }
        RadioGroup1Items->button(1)->setChecked(true);

        bbRaschet = make<QPushButton>(p, "bbRaschet", {150, 300, 160, 44}, form1txt::bbRaschet);
        bbRaschet->setFont(withPixelSize(font(), 16, true));
        bbRaschet->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));

        // The maximum-likelihood model: its box and a row of options in the room left of
        // «Расчет», placed from the button so that they follow it.
        {
            const QRect b = bbRaschet->geometry();
            const int x0 = 8, w = b.left() - 4 - x0;
            BoxMaxPr = make<QCheckBox>(p, "BoxMaxPr", {x0, b.top() - 6, w, 30}, form1txt::BoxMaxPr);
            BoxMaxPr->setToolTip(form1txt::BoxMaxPrHint);
            MleOptions = make<QFrame>(p, "MleOptions", {x0, b.top() + 26, w, 24});
            MleLevel = make<QComboBox>(MleOptions, "MleLevel", {});
            MleLaw = make<QComboBox>(MleOptions, "MleLaw", {});
            MleKind = make<QComboBox>(MleOptions, "MleKind", {});
            const QFont small = withPixelSize(font(), 11, false);
            for (QComboBox *c : {MleLevel, MleLaw, MleKind}) {
                c->setFont(small);
                c->view()->setMinimumWidth(210);
            }
            for (double level : form1txt::mleLevels)
                MleLevel->addItem(QString(), level);   // texts follow the locale (FormCreate)
            MleLevel->setCurrentIndex(2);
            MleLevel->setToolTip(form1txt::MleLevelHint);
            for (int i = 0; i < 2; ++i) {
                MleLaw->addItem(form1txt::mleLaws[i]);
                MleLaw->setItemData(i, form1txt::mleLawsFull[i], Qt::ToolTipRole);
                MleKind->addItem(form1txt::mleKinds[i]);
                MleKind->setItemData(i, form1txt::mleKindsFull[i], Qt::ToolTipRole);
            }
            MleKind->setToolTip(form1txt::MleKindHint);
            // Each box as wide as its longest text and the arrow; the rest of the row is
            // shared out evenly.
            const QFontMetrics fm(small);
            const QString widestLevel = QStringLiteral("0,95");
            int need[3] = {fm.horizontalAdvance(widestLevel), 0, 0};
            for (int i = 0; i < 2; ++i) {
                need[1] = std::max(need[1], fm.horizontalAdvance(form1txt::mleLaws[i]));
                need[2] = std::max(need[2], fm.horizontalAdvance(form1txt::mleKinds[i]));
            }
            // A narrow drop-down part, so that the three boxes fit the room with their texts.
            auto *narrow = new NarrowComboStyle;
            narrow->setParent(MleOptions);
            for (QComboBox *c : {MleLevel, MleLaw, MleKind})
                c->setStyle(narrow);
            const int arrow = NarrowComboStyle::kArrow + 8, gap = 2;
            const int spare =
                std::max(0, w - 2 * gap - (need[0] + need[1] + need[2] + 3 * arrow)) / 3;
            int x = 0;
            QComboBox *boxes[3] = {MleLevel, MleLaw, MleKind};
            for (int i = 0; i < 3; ++i) {
                const int bw = i == 2 ? w - x : need[i] + arrow + spare;
                boxes[i]->setGeometry(x, 0, bw, 24);
                x += bw + gap;
            }
        }

        // The progress of a running calculation takes the place of «Расчет» while it runs:
        // the method in the bar's text above, the button that stops it below.
        {
            const QRect r = bbRaschet->geometry();
            const int top = r.height() / 2;
            CalcProgressBar =
                make<QProgressBar>(p, "CalcProgressBar", {r.x(), r.y(), r.width(), top - 1});
            CalcProgressBar->setTextVisible(true);
            CalcProgressBar->setAlignment(Qt::AlignCenter);
            StopCalcBtn = make<QPushButton>(p, "StopCalcBtn",
                                            {r.x(), r.y() + top, r.width(), r.height() - top},
                                            form1txt::StopCalcBtn);
            StopCalcBtn->setToolTip(form1txt::StopCalcHint);
            CalcProgressBar->hide();
            StopCalcBtn->hide();
        }
    }

    // Tab 2: the genetic optimiser
    {
        QWidget *p = TabSheet2;
        Edit2Label = label(p, "Edit2Label", form1txt::Edit2Label, {8, 7});
        Edit2 = make<QLineEdit>(p, "Edit2", {150, 4, 110, kEditH}, QStringLiteral("0.0000001"));
        Edit3Label = label(p, "Edit3Label", form1txt::Edit3Label, {8, 30});
        Edit3 = make<QLineEdit>(p, "Edit3", {150, 27, 110, kEditH}, QStringLiteral("3000"));
        NPokolenyLabel = label(p, "NPokolenyLabel", form1txt::NPokolenyLabel, {8, 53});
        NPokoleny = make<QLineEdit>(p, "NPokoleny", {150, 50, 110, kEditH}, QStringLiteral("1500"));
        Edit2Label->setBuddy(Edit2);
        Edit3Label->setBuddy(Edit3);
        NPokolenyLabel->setBuddy(NPokoleny);

        ToolBRunGenOptim =
            make<QPushButton>(p, "ToolBRunGenOptim", {8, 80, 236, 44}, form1txt::ToolBRunGenOptim);
        ToolBRunGenOptim->setFont(withPixelSize(font(), 12, true));
        ToolBRunGenOptim->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        StopBtn = make<QPushButton>(p, "StopBtn", {250, 80, 60, 44}, form1txt::StopBtn);
        StopBtn->setFont(withPixelSize(font(), 12, true));

        Label18 = label(p, "Label18", form1txt::Label18, {8, 130});
        ProgressBar2 = make<QProgressBar>(p, "ProgressBar2", {8, 146, 302, 18});
        ProgressBar2->setRange(0, 100);
        ProgressBar2->setValue(0);
        ProgressBar2->setTextVisible(false);

        auto trackBar = [p](const char *name, int y, int position) {
            auto *t = make<QSlider>(p, name, {8, y, 302, 30}, Qt::Horizontal);
            t->setRange(0, 100);
            t->setTickInterval(5);
            t->setTickPosition(QSlider::TicksBelow);
            t->setPageStep(5);
            t->setValue(position);
            return t;
        };
        Label7 = label(p, "Label7", form1txt::Label7, {8, 170});
        TrackBar1 = trackBar("TrackBar1", 186, 55);
        Label8 = label(p, "Label8", form1txt::Label8, {8, 220});
        TrackBar2 = trackBar("TrackBar2", 236, 15);
        Label7->setBuddy(TrackBar1);
        Label8->setBuddy(TrackBar2);

        btnCopyBest = make<QPushButton>(p, "btnCopyBest", {8, 274, 150, 26}, form1txt::btnCopyBest);
        LabeledEdit1 =
            make<QLineEdit>(p, "LabeledEdit1", {166, 276, 60, kEditH}, QStringLiteral("50"));
        LabeledEdit1->setPlaceholderText(form1txt::LabeledEdit1Placeholder);
        LabeledEdit1Label = label(p, "LabeledEdit1Label", form1txt::LabeledEdit1Label, {232, 279});
        LabeledEdit1Label->setBuddy(LabeledEdit1);

        // The log's two commands share a row: below it the page ends where the warranty
        // panel begins, which would cover the button.
        CheckBoxProm =
            make<QCheckBox>(p, "CheckBoxProm", {8, 308, 150, 20}, form1txt::CheckBoxProm);
        SaveFileBTN =
            make<QPushButton>(p, "SaveFileBTN", {160, 303, 150, 30}, form1txt::SaveFileBTN);
        SaveFileBTN->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    }

    // Tab 3: the nonparametric analysis
    {
        Button1 = make<QPushButton>(TabSheet3, "Button1", {16, 20, 288, 64}, form1txt::Button1);
        Button1->setFont(withPixelSize(font(), 13, true));
    }

    // ---- Panel4: warranty-times file
    Panel4 = make<QFrame>(this, "Panel4", {2, 495, 314, 180});
    Panel4->setFrameShape(QFrame::StyledPanel);
    {
        QWidget *p = Panel4;
        Label9 = label(p, "Label9", form1txt::Label9, {8, 5});
        SpeedButton1 = make<QToolButton>(p, "SpeedButton1", {8, 22, 50, 23});
        SpeedButton1->setText(form1txt::SpeedButton1);
        SpeedButton1->setAutoRaise(true);
        Edit4 = make<QLineEdit>(p, "Edit4", {62, 23, 244, kEditH}, designRoot());
        Label15 = make<QLabel>(p, "Label15", {8, 49, 298, 16}, form1txt::Label15);
        MaskEdit1 = make<QLineEdit>(p, "MaskEdit1", {8, 68, 80, kEditH});
        Label11 = label(p, "Label11", form1txt::Label11, {94, 71});
        Label14 = label(p, "Label14", form1txt::Label14, {8, 96});
        MaskEditSrednee = make<QLineEdit>(p, "MaskEditSrednee", {8, 114, 80, kEditH});
        Label12 = label(p, "Label12", form1txt::Label12, {94, 117});
        MaskEditSKO = make<QLineEdit>(p, "MaskEditSKO", {8, 140, 80, kEditH});
        Label13 = label(p, "Label13", form1txt::Label13, {94, 143});
        Label11->setBuddy(MaskEdit1);
        Label12->setBuddy(MaskEditSrednee);
        Label13->setBuddy(MaskEditSKO);
    }

    // ---- Panel1: failure data file
    Panel1 = make<QFrame>(this, "Panel1", {322, 33, 413, 170});
    Panel1->setFrameShape(QFrame::StyledPanel);
    {
        QWidget *p = Panel1;
        Label1 = label(p, "Label1", form1txt::Label1, {8, 5});
        OpenFileStart =
            make<QPushButton>(p, "OpenFileStart", {8, 21, 82, 26}, form1txt::OpenFileStart);
        OpenFileStart->setToolTip(form1txt::OpenFileStartHint);
        OpenFileStart->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
        OpenFileStart->setDefault(true);
        FilePath = make<QLineEdit>(p, "FilePath", {96, 23, 309, 22}, designRoot());

        auto row = [p](const char *editName, QLineEdit *&edit, const char *labelName, QLabel *&lbl,
                       const QString &text, int y) {
            edit = make<QLineEdit>(p, editName, {8, y, 62, kEditH});
            lbl = label(p, labelName, text, {74, y + 3});
            lbl->setBuddy(edit);
        };
        row("meKolAll", meKolAll, "Label2", Label2, form1txt::Label2, 52);
        row("meKolOtk", meKolOtk, "Label3", Label3, form1txt::Label3, 75);
        row("meSred", meSred, "meSredLabel", meSredLabel, form1txt::meSred, 98);
        row("meSKO", meSKO, "meSKOLabel", meSKOLabel, form1txt::meSKO, 121);
        row("LabeledEdit2", LabeledEdit2, "LabeledEdit2Label", LabeledEdit2Label,
            form1txt::LabeledEdit2, 144);
        meSredLabel->setToolTip(form1txt::observationHint);
        LabeledEdit2Label->setToolTip(form1txt::observationHint);
    }

    // ---- Progress log
    Memo2 = make<QPlainTextEdit>(this, "Memo2", {733, 0, 468, 203});
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setPlainText(txt::logStart);
    m_log = new LogPump(Memo2, this);

    // ---- The grid of loaded failures
    Mass_List = make<QTableView>(this, "Mass_List", {322, 199, 883, 475});
    m_grid = new FailureGridModel(Mass_List);
    m_grid->setObjectName(QStringLiteral("Mass_ListModel"));
    Mass_List->setModel(m_grid);
    Mass_List->setToolTip(form1txt::Mass_ListHint);
    Mass_List->setShowGrid(true);
    Mass_List->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Mass_List->setSelectionBehavior(QAbstractItemView::SelectItems);
    Mass_List->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    Mass_List->verticalHeader()->hide();
    // Uniform rows keep a grid of a million failures as quick as a short one.
    Mass_List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Mass_List->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView *h = Mass_List->horizontalHeader();
    h->setDefaultSectionSize(100);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setStretchLastSection(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setMinimumHeight(20);
    const QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    h->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; "
                                    "border: 1px solid #a0a0a0; padding: 1px 3px; }")
                         .arg(tip.name()));

    // Push buttons take Enter themselves when focused; Enter elsewhere goes to the
    // default button (see keyPressEvent).
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(true);
    OpenFileStart->setDefault(true);
}

void TForm1::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    placeResizable();
}

void TForm1::placeResizable()
{
    if (!Mass_List || !Memo2)
        return;
    // Everything keeps its designed place; the extra width goes to the log and the grid,
    // the extra height a third to the log and the rest to the grid.
    const int dx = std::max(0, width() - kDesignSize.width());
    const int dy = std::max(0, height() - kDesignSize.height());
    const int logDy = dy / 3;
    Memo2->setGeometry(733, 0, 468 + dx, 203 + logDy);
    Mass_List->setGeometry(322, 199 + logDy, 883 + dx, 475 + dy - logDy);
}

void TForm1::setGridColumnWidths()
{
    // The designed widths; a column whose header text would be cut grows to hold it (the
    // header's padding and border take 8 pixels).
    QHeaderView *h = Mass_List->horizontalHeader();
    const int widths[FailureGridModel::kColumns] = {65, 90, 200, 1000};
    for (int c = 0; c < FailureGridModel::kColumns; ++c) {
        const int need = h->fontMetrics().horizontalAdvance(FailureGridModel::header(c)) + 8;
        h->resizeSection(c, std::max(widths[c], need));
    }
}

void TForm1::showDataComment(const QString &comment)
{
    // A few pixels smaller when that makes it fit, otherwise elided; the tool tip always
    // holds the whole line.
    obr::ui::setFittedText(Label10, comment, headingFont(), 13);
    Label10->setToolTip(comment);
}

void TForm1::showWarrantyComment(const QString &comment)
{
    QFont f = font();
    obr::ui::setFittedText(Label15, comment, f, f.pixelSize() - 1);
    Label15->setToolTip(comment);
}
