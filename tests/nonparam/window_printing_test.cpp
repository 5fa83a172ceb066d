// SPDX-License-Identifier: MIT
// Each of the three result windows, filled from the bundled sample, prints through its
// own button to one landscape PDF page holding the image of the window (this machine
// has no printer, so the page goes to the file the save dialog returns).
#include "chart/printing.h"
#include "io/loaders.h"
#include "nonparam/ui/form3.h"
#include "support/pdfpage.h"
#include "support/print_dialogs.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "stats/stat2018.h"

#include <QFile>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

using namespace obr;

namespace {

using RecordingDialogs = obr::test::RecordingPrintDialogs;

//! A shown window and its print button.
struct Shown {
    std::shared_ptr<QWidget> owner;   // keeps every window of the case alive
    QWidget *window = nullptr;
    QPushButton *print = nullptr;
};
using Maker = std::function<Shown(State *)>;

}   // namespace

Q_DECLARE_METATYPE(Maker)

class WindowPrintingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed: these tests would print on paper");
        QFile f(QStringLiteral(OBROTK_SAMPLE));
        QVERIFY2(f.open(QIODevice::ReadOnly), OBROTK_SAMPLE);
        applyFailureFile(m_state, readFailureFile(f.readAll()));
        m_state.loadedFile = QStringLiteral(OBROTK_SAMPLE);
        hist(m_state);
    }

    void printButtonGivesOneLandscapePageWithTheWindow_data()
    {
        QTest::addColumn<Maker>("make");
        // The name offered for the page: the data file's and the window's role.
        QTest::addColumn<QString>("offered");
        QTest::newRow("Form3") << Maker([](State *s) {
            auto f = std::make_shared<TForm3>(s);
            f->Histogram_Exp(NumLocale::comma());
            return Shown{f, f.get(), f->Button1};
        }) << QStringLiteral("sample - непараметрический анализ.pdf");
        QTest::newRow("Form2") << Maker([](State *s) {
            struct Pair : QWidget {
                explicit Pair(State *s) : expand(s), form2(s, &expand) {}
                TExpandForm expand;
                TForm2 form2;
            };
            auto p = std::make_shared<Pair>(s);
            p->form2.Diagrams(NumLocale::comma());
            return Shown{p, &p->form2, p->form2.Button1};
        }) << QStringLiteral("sample - результаты расчета.pdf");
        QTest::newRow("ExpandForm (maximised)") << Maker([](State *s) {
            auto e = std::make_shared<TExpandForm>(s);
            e->ExpandDia_1(NumLocale::comma());
            return Shown{e, e.get(), e->Button2};
        }) << QStringLiteral("sample - поток отказов.pdf");
    }
    void printButtonGivesOneLandscapePageWithTheWindow()
    {
        QFETCH(Maker, make);
        QFETCH(QString, offered);
        const Shown w = make(&m_state);
        QVERIFY(w.window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(w.window));

        QTemporaryDir dir;
        RecordingDialogs dialogs;
        dialogs.file = dir.filePath(QStringLiteral("page.pdf"));
        setPrintDialogs(&dialogs);
        QTest::mouseClick(w.print, Qt::LeftButton);
        setPrintDialogs(nullptr);

        QVERIFY(dialogs.failures.isEmpty());
        QCOMPARE(dialogs.fileAsks, 1);
        QCOMPARE(dialogs.suggested, QStringList{offered});
        const PdfFacts pdf = readPdfFacts(dialogs.file);
        QVERIFY(pdf.ok);
        QCOMPARE(pdf.pages.size(), 1);
        QVERIFY2(pdf.pages[0].width() > pdf.pages[0].height(), "page is not landscape");
        QCOMPARE(pdf.images.size(), 1);
        // The image is the window's client area, at twice the screen's pixel density.
        QCOMPARE(pdf.images[0], w.window->size() * 2 * w.window->devicePixelRatioF());
    }

private:
    State m_state;
};

QTEST_MAIN(WindowPrintingTest)
#include "window_printing_test.moc"
