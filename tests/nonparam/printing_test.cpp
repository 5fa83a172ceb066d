// SPDX-License-Identifier: MIT
// Printing of result windows. This machine has no printer, so the page goes to a PDF
// file through the dialog seam; the tests read the file back.
#include "chart/printing.h"
#include "support/pdfpage.h"
#include "support/print_dialogs.h"

#include <QLabel>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

using RecordingDialogs = obr::test::RecordingPrintDialogs;

}   // namespace

class PrintingTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed: these tests would print on paper");
        obr::setPrintDialogs(&m_dialogs);
        m_dialogs = RecordingDialogs{};
    }
    void cleanup() { obr::setPrintDialogs(nullptr); }

    void plainWindowGivesOneLandscapePageWithItsImage_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(814, 604);
        QTest::newRow("tall") << QSize(300, 700);
    }
    void plainWindowGivesOneLandscapePageWithItsImage()
    {
        QFETCH(QSize, size);
        QWidget w;
        w.setObjectName(QStringLiteral("Plain"));
        auto *lay = new QVBoxLayout(&w);
        lay->addWidget(new QLabel(QStringLiteral("Печать формы")));
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QTemporaryDir dir;
        m_dialogs.file = dir.filePath(QStringLiteral("plain.pdf"));
        QVERIFY(obr::printWindow(&w));
        QCOMPARE(m_dialogs.fileAsks, 1);
        QVERIFY(m_dialogs.failures.isEmpty());

        const PdfFacts pdf = readPdfFacts(m_dialogs.file);
        QVERIFY(pdf.ok);
        QCOMPARE(pdf.pages.size(), 1);
        QVERIFY2(pdf.pages[0].width() > pdf.pages[0].height(), "page is not landscape");
        QCOMPARE(pdf.images.size(), 1);
        QCOMPARE(pdf.images[0], w.size() * 2 * w.devicePixelRatioF());
    }

    void cancelledFileChoiceWritesNothing()
    {
        QWidget w;
        w.resize(200, 100);
        QTemporaryDir dir;
        m_dialogs.file.clear();
        QVERIFY(!obr::printWindow(&w));
        QCOMPARE(m_dialogs.fileAsks, 1);
        QVERIFY(QDir(dir.path()).isEmpty());
        QVERIFY(m_dialogs.failures.isEmpty());
    }

    void unwritableFileIsReported()
    {
        QWidget w;
        w.resize(200, 100);
        QTemporaryDir dir;
        m_dialogs.file = dir.filePath(QStringLiteral("no/such/folder/page.pdf"));
        QVERIFY(!obr::printWindow(&w));
        QCOMPARE(m_dialogs.failures.size(), 1);
        QVERIFY(m_dialogs.failures[0].contains(m_dialogs.file));
        QVERIFY(!QFile::exists(m_dialogs.file));
    }

    void twoPrintsInARowAreIndependent()
    {
        QWidget w;
        w.resize(400, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTemporaryDir dir;
        for (const char *name : {"first.pdf", "second.pdf"}) {
            m_dialogs.file = dir.filePath(QString::fromLatin1(name));
            QVERIFY(obr::printWindow(&w));
            const PdfFacts pdf = readPdfFacts(m_dialogs.file);
            QCOMPARE(pdf.pages.size(), 1);
            QVERIFY(pdf.pages[0].width() > pdf.pages[0].height());
        }
        QCOMPARE(m_dialogs.fileAsks, 2);
    }

    void offeredNameTellsDataAndWindow()
    {
        struct Case {
            const char *dataFile, *expected;
        } const cases[] = {
            {"/home/u/data/sample.fdt", "sample - результаты расчета.pdf"},
            {"/home/u/data/К-120 2019.v2.fdt", "К-120 2019.v2 - результаты расчета.pdf"},
            {"/d/a:b?.fdt", "a_b_ - результаты расчета.pdf"},
            {"", "результаты расчета.pdf"},
        };
        for (const Case &c : cases)
            QCOMPARE(obr::printFileName(QString::fromUtf8(c.dataFile),
                                        QStringLiteral("результаты расчета")),
                     QString::fromUtf8(c.expected));
        // The name goes to the file dialog; without one a neutral name is offered.
        QWidget w;
        w.resize(200, 100);
        m_dialogs.file.clear();
        QVERIFY(!obr::printWindow(&w, QStringLiteral("sample - поток отказов.pdf")));
        QVERIFY(!obr::printWindow(&w));
        QCOMPARE(m_dialogs.suggested, (QStringList{QStringLiteral("sample - поток отказов.pdf"),
                                                   QStringLiteral("страница.pdf")}));
    }

private:
    RecordingDialogs m_dialogs;
};

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
