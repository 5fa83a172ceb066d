// SPDX-License-Identifier: MIT
// The start button's checks of the genetic settings: the precision's stated range, runs
// larger than memory allows, warranty figures the run uses; and no model with a zero
// parameter is ever published.
#include "gen_fixture.h"

#include "model/errors.h"

#include <gtest/gtest.h>

using namespace obr;

namespace {

QString refusal(const State &s, const char *precision, const char *population,
                const char *generations, QChar dec = u'.')
{
    try {
        validateGenStart(s, QString::fromLatin1(precision), QString::fromLatin1(population),
                         QString::fromLatin1(generations), dec);
    } catch (const UserError &e) {
        return e.message();
    }
    return {};
}

}   // namespace

TEST(GeneticSettings, PrecisionOutsideItsStatedRangeIsRefused)
{
    const State s = gentest::failureState();
    for (const char *p : {"1.5", "2", "0.0000000005", "-0.1", "0"})
        EXPECT_TRUE(refusal(s, p, "30", "5").contains("Точность подбора должна быть в пределах"))
            << p << ": " << refusal(s, p, "30", "5").toStdString();
    for (const char *p : {"0.0000001", "0.000000001", "0.5", "1"})
        EXPECT_TRUE(refusal(s, p, "30", "5").isEmpty())
            << p << ": " << refusal(s, p, "30", "5").toStdString();
}

TEST(GeneticSettings, RunsLargerThanMemoryAllowsAreRefusedWithTheLargestAllowed)
{
    GenSettings st;
    st.L = 24;
    const uint64_t available = uint64_t(1) << 30;   // 1 GiB, so half of it may be taken
    const GenMemoryCosts c = genMemoryCosts(3, 24);
    EXPECT_GT(c.perIndividual, 3 * 72);   // three copies of a 72-character chromosome at least
    st.population = 3000;
    st.generations = 1500;
    EXPECT_NO_THROW(checkGenMemory(st, 3, available, u'.'));
    st.population = 100000000;
    try {
        checkGenMemory(st, 3, available, u',');
        ADD_FAILURE() << "accepted";
    } catch (const UserError &e) {
        const int64_t most =
            int64_t((double(available) / 2 - c.perGeneration * 1500) / c.perIndividual);
        EXPECT_TRUE(e.message().contains(
            QStringLiteral("Наибольший допустимый размер популяции при 1500 поколениях: %1")
                .arg(most)))
            << e.message().toStdString();
        // The largest allowed is accepted, one more is not.
        st.population = int32_t(most);
        EXPECT_NO_THROW(checkGenMemory(st, 3, available, u'.'));
        st.population = int32_t(most + 1);
        EXPECT_THROW(checkGenMemory(st, 3, available, u'.'), UserError);
    }
    st.population = 2;
    st.generations = 2147483647;
    try {
        checkGenMemory(st, 3, available, u'.');
        ADD_FAILURE() << "accepted";
    } catch (const UserError &e) {
        EXPECT_TRUE(e.message().contains("Наибольшее допустимое число поколений при популяции 2:"))
            << e.message().toStdString();
    }
    // Unknown memory: no check.
    EXPECT_NO_THROW(checkGenMemory(st, 3, 0, u'.'));
    EXPECT_GT(availableMemory(), 0u);
}

TEST(GeneticSettings, WarrantyFiguresTheRunUsesAreChecked)
{
    State s = gentest::failureState();
    s.SKO = 0;
    EXPECT_FALSE(refusal(s, "0.0000001", "30", "5").isEmpty());
    s = gentest::failureState();
    s.Sred = -5;
    EXPECT_TRUE(
        refusal(s, "0.0000001", "30", "5").contains("Среднее время гарантии должно быть больше 0"));
    // A fitted mean is not read from the state.
    s.Sred_Opt = true;
    EXPECT_TRUE(refusal(s, "0.0000001", "30", "5").isEmpty());
    // Every failure beyond the warranty law.
    s = gentest::failureState();
    s.Sred = 1;
    s.SKO = 0.001;
    EXPECT_TRUE(refusal(s, "0.0000001", "30", "5").contains("все изделия уже выбыли"));
}

TEST(GeneticSettings, AModelWithAZeroParameterIsNeverPublished)
{
    // With a precision of 1 every gene is 0 or the upper end of its range: the repeat
    // coefficient 0 (and shape or coefficient 0) is all most individuals can be.
    State s = gentest::failureState();
    GenControl ctl;
    NullGenHost host;
    GenInput in = gentest::quickInput(s, 40, 20);
    in.Precision = 1;
    GenEngine e(in, ctl, host, fixedSeedSource(3));
    const GenResult r = e.run();
    if (r.ran) {
        EXPECT_GT(r.MGenet.A, 0);
        EXPECT_GT(r.MGenet.B, 0);
        EXPECT_GT(r.MGenet.K_powtor, 0);
        EXPECT_TRUE(std::isfinite(1 / r.MGenet.A));
    } else {
        EXPECT_FALSE(r.MGenet.Executed);
    }
}
