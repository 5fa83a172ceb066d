// SPDX-License-Identifier: MIT
// The worker thread: its reports arrive on the receiving thread in order, the result
// comes before the end notification, and destroying a running worker stops it.
#include "gen_fixture.h"

#include "fit/genetic_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace obr;

TEST(GeneticThread, ReportsReachTheReceiverThenTheResultThenTheEnd)
{
    State s = gentest::failureState();
    auto control = std::make_shared<GenControl>();
    control->showProgress.store(true);
    TGen gen(gentest::quickInput(s, 50, 12, 2), control, nullptr, fixedSeedSource(8));

    QObject receiver;   // lives on this thread: every slot below is queued to it
    QStringList lines, texts;
    std::vector<int> progress;
    std::vector<QString> order;
    GenResult result;
    const Qt::HANDLE self = QThread::currentThreadId();
    bool allOnThisThread = true;
    auto here = [&] { allOnThisThread = allOnThisThread && QThread::currentThreadId() == self; };
    QObject::connect(&gen, &TGen::logLines, &receiver, [&](const QStringList &l) {
        here();
        lines += l;
    });
    QObject::connect(&gen, &TGen::generationsText, &receiver, [&](const QString &t) {
        here();
        texts << t;
    });
    QObject::connect(&gen, &TGen::progressChanged, &receiver, [&](int v) {
        here();
        progress.push_back(v);
    });
    QObject::connect(&gen, &TGen::resultReady, &receiver, [&](const GenResult &r) {
        here();
        result = r;
        order.push_back(QStringLiteral("result"));
    });
    QEventLoop loop;
    QObject::connect(&gen, &QThread::finished, &receiver, [&] {
        order.push_back(QStringLiteral("finished"));
        loop.quit();
    });
    gen.start();
    loop.exec();

    EXPECT_TRUE(allOnThisThread);
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("result"), QStringLiteral("finished")}));
    ASSERT_TRUE(result.ran);
    EXPECT_EQ(result.generations, 12);
    EXPECT_EQ(texts.size(), 12);
    EXPECT_EQ(progress.back(), 100);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral(" ЦФ=")));
    EXPECT_EQ(lines.count(QStringLiteral("Создано генов 3")), 12);

    // The same seed run on this thread produces the same lines.
    GenControl ctl;
    ctl.showProgress.store(true);
    struct Lines : NullGenHost {
        QStringList l;
        void logLine(const QString &x) override { l << x; }
    } host;
    GenEngine e(gentest::quickInput(s, 50, 12, 1), ctl, host, fixedSeedSource(8));
    e.run();
    EXPECT_EQ(host.l, lines);
}

TEST(GeneticThread, DestroyingAWorkerStopsItWhereverItIs)
{
    // A million generations: only the stop request lets these destructors return. The
    // request is made before the run starts, right after, and while it runs.
    State s = gentest::failureState();
    for (int waitMs : {-1, 0, 20}) {
        auto control = std::make_shared<GenControl>();
        GenResult result;
        auto gen = std::make_unique<TGen>(gentest::quickInput(s, 100, 1000000, 1), control);
        QObject::connect(
            gen.get(), &TGen::resultReady, gen.get(), [&](const GenResult &r) { result = r; },
            Qt::DirectConnection);
        if (waitMs >= 0) {
            gen->start();
            QThread::msleep(ulong(waitMs));
        }
        gen.reset();
        EXPECT_LT(result.generations, 1000000) << waitMs;
        EXPECT_FALSE(control->Stop_Gen.load());   // the window's request is left alone
    }
}

TEST(GeneticThread, StopRightAfterTheStartEndsTheRun)
{
    // The stop of an earlier run is forgotten when the worker is made; one pressed after
    // that is kept, even before the worker has made its first step.
    State s = gentest::failureState();
    auto control = std::make_shared<GenControl>();
    for (int i = 0; i < 5; ++i) {
        control->Stop_Gen.store(true);   // left over from the run before
        GenResult result;
        TGen gen(gentest::quickInput(s, 20, 1000000, 1), control);
        EXPECT_FALSE(control->Stop_Gen.load());
        QObject::connect(
            &gen, &TGen::resultReady, &gen, [&](const GenResult &r) { result = r; },
            Qt::DirectConnection);
        control->Stop_Gen.store(true);   // pressed as the run starts
        gen.start();
        ASSERT_TRUE(gen.wait(QDeadlineTimer(120000)));
        EXPECT_EQ(result.generations, 1) << "run " << i;
    }
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
