// SPDX-License-Identifier: MIT
// Agreement with R's survival package on the fixtures in data/.
#include "life/fit.h"
#include "life/reader.h"

#include <QFile>
#include <gtest/gtest.h>
#include <cmath>
#include <map>

using namespace obr::life;

namespace {

struct Ref {
    const char *set, *law, *what, *key;
    double value, fisherLow, fisherHigh, lrLow, lrHigh;
};

// Printed by scripts/survreg_reference.sh (R 4.2, survival 3.5-3: survreg with
// rel.tolerance 1e-13; Wald bounds from vcov(survreg); likelihood-ratio bounds from the
// profile deviance, maximised by survreg with a fixed scale or by optimize() over
// dsurvreg/psurvreg, solved by uniroot with tol 1e-12). NAN: no figure.
const Ref kRefs[] = {
    {"issue", "weibull", "loglik", "", -76.34802618, NAN, NAN, NAN, NAN},
    {"issue", "weibull", "param", "eta", 528.5821944, 472.7079298, 591.0608192, 472.0066294,
     603.0018746},
    {"issue", "weibull", "param", "beta", 5.080028719, 3.346169357, 7.712308923, 3.185171266,
     7.429895634},
    {"issue", "weibull", "blife", "1", 213.7190389, 142.8959492, 319.6439637, 123.2289426,
     293.2760408},
    {"issue", "weibull", "blife", "10", 339.412142, 271.4464118, 424.3953765, 253.1153509,
     407.4119859},
    {"issue", "weibull", "blife", "50", 491.7893686, 437.0640537, 553.3669059, 431.6281567,
     556.536523},
    {"issue", "weibull", "rel", "300", 0.9452740336, 0.8016268573, 0.9857768712, 0.8297035799,
     0.9882168336},
    {"issue", "weibull", "rel", "500", 0.4704939846, 0.2570910362, 0.6580259065, 0.2752395628,
     0.6746163632},
    {"issue", "exponential", "loglik", "", -90.59065759, NAN, NAN, NAN, NAN},
    {"issue", "exponential", "param", "lambda", 0.001431229426, 0.0008128090616, 0.002520170809,
     0.0007664128059, 0.002400410212},
    {"issue", "exponential", "blife", "1", 7.022169661, 3.987958205, 12.36494071, 4.186924302,
     13.11347589},
    {"issue", "exponential", "blife", "10", 73.61539229, 41.80689471, 129.6251735, 43.89271264,
     137.4722797},
    {"issue", "exponential", "blife", "50", 484.3019351, 275.0397624, 852.7798389, 288.7619695,
     904.404487},
    {"issue", "exponential", "rel", "300", 0.6509198076, 0.4695167792, 0.7836108721, 0.4866923581,
     0.7945941151},
    {"issue", "exponential", "rel", "500", 0.4888914914, 0.2836298022, 0.666040679, 0.3011324415,
     0.6816721856},
    {"issue", "lognormal", "loglik", "", -79.20609683, NAN, NAN, NAN, NAN},
    {"issue", "lognormal", "param", "mu", 6.168010929, 6.000886472, 6.335135386, 6.005965827,
     6.364834368},
    {"issue", "lognormal", "param", "sigma", 0.3201666078, 0.218629506, 0.4688601215, 0.2281638266,
     0.4959222189},
    {"issue", "lognormal", "blife", "1", 226.6012856, 168.7835076, 304.2248817, 151.2148942,
     286.327406},
    {"issue", "lognormal", "blife", "10", 316.6195553, 258.9840012, 387.0816047, 244.6964851,
     376.6974466},
    {"issue", "lognormal", "blife", "50", 477.2359055, 403.7865806, 564.045762, 405.8427732,
     581.0485799},
    {"issue", "lognormal", "rel", "300", 0.9264650237, 0.7523891443, 0.979703647, 0.7897643277,
     0.9838221058},
    {"issue", "lognormal", "rel", "500", 0.4421421192, 0.2300789459, 0.6355232566, 0.2478616671,
     0.6533120963},
    {"heavy", "weibull", "loglik", "", -54.65718551, NAN, NAN, NAN, NAN},
    {"heavy", "weibull", "param", "eta", 5468.858241, 2133.834889, 14016.27212, 3058.254219,
     35845.85802},
    {"heavy", "weibull", "param", "beta", 2.442479355, 1.129374801, 5.282307871, 0.9792717945,
     4.793802247},
    {"heavy", "weibull", "blife", "1", 831.666778, 419.5073886, 1648.766263, 244.4805175,
     1348.666063},
    {"heavy", "weibull", "blife", "10", 2176.513704, 1469.708917, 3223.23138, 1574.538074,
     4515.378644},
    {"heavy", "weibull", "blife", "50", 4706.818153, 2041.527686, 10851.74464, 2811.816045,
     25061.27383},
    {"heavy", "weibull", "rel", "1000", 0.984358308, 0.9387954635, 0.9960724199, 0.9507531156,
     0.9970508497},
    {"heavy", "weibull", "rel", "3000", 0.7939717834, 0.4197635611, 0.9405263208, 0.3990208937,
     0.9411700037},
    {"heavy", "exponential", "loglik", "", -56.50439075, NAN, NAN, NAN, NAN},
    {"heavy", "exponential", "param", "lambda", 3.360357327e-05, 1.398674182e-05, 8.073360837e-05,
     1.205027586e-05, 7.222341157e-05},
    {"heavy", "exponential", "blife", "1", 299.0853316, 124.4876335, 718.5616195, 139.1562048,
     834.0336742},
    {"heavy", "exponential", "blife", "10", 3135.396192, 1305.039101, 7532.884857, 1458.813886,
     8743.411093},
    {"heavy", "exponential", "blife", "50", 20627.18673, 8585.608826, 49557.44443, 9597.264454,
     57521.27075},
    {"heavy", "exponential", "rel", "1000", 0.9669547554, 0.9224393888, 0.9861106182, 0.9303230277,
     0.988022038},
    {"heavy", "exponential", "rel", "3000", 0.9041041457, 0.7848985344, 0.9589079199, 0.8051954511,
     0.9644948101},
    {"heavy", "lognormal", "loglik", "", -54.55173769, NAN, NAN, NAN, NAN},
    {"heavy", "lognormal", "param", "mu", 8.90775844, 7.739757323, 10.07575956, 8.169627726,
     11.2016755},
    {"heavy", "lognormal", "param", "sigma", 0.9341798386, 0.4612674298, 1.89194362, 0.5156547105,
     2.216563021},
    {"heavy", "lognormal", "blife", "1", 840.9491197, 467.7352419, 1511.956677, 301.3536144,
     1307.380215},
    {"heavy", "lognormal", "blife", "10", 2231.789045, 1395.676464, 3568.794394, 1540.666033,
     5214.753739},
    {"heavy", "lognormal", "blife", "50", 7389.079455, 2297.914665, 23760.01861, 3532.028837,
     73253.07464},
    {"heavy", "lognormal", "rel", "1000", 0.9838597058, 0.938801269, 0.9958160489, 0.9501955494,
     0.9967921973},
    {"heavy", "lognormal", "rel", "3000", 0.8327027493, 0.5863921184, 0.9391361852, 0.6155650997,
     0.9453835555},
    {"intervals", "weibull", "loglik", "", -67.89696785, NAN, NAN, NAN, NAN},
    {"intervals", "weibull", "param", "eta", 382.409818, 316.467269, 462.092871, 320.7778293,
     480.0038356},
    {"intervals", "weibull", "param", "beta", 2.013721013, 1.420509629, 2.854660211, 1.384485034,
     2.794424312},
    {"intervals", "weibull", "blife", "1", 38.94266359, 17.8524238, 84.9481877, 14.2819438,
     73.26205155},
    {"intervals", "weibull", "blife", "10", 125.0828007, 84.15286147, 185.9200836, 75.82048476,
     173.5537715},
    {"intervals", "weibull", "blife", "50", 318.7748521, 264.498055, 384.1896166, 262.4618787,
     390.2119759},
    {"intervals", "weibull", "rel", "150", 0.859077207, 0.7392037104, 0.9264889185, 0.7521649737,
     0.9311285948},
    {"intervals", "weibull", "rel", "350", 0.4331537699, 0.2966854048, 0.5620886238, 0.3043212352,
     0.5698191938},
    {"intervals", "exponential", "loglik", "", -73.84747263, NAN, NAN, NAN, NAN},
    {"intervals", "exponential", "param", "lambda", 0.002231931865, 0.001539809777, 0.003235152759,
     0.001502916376, 0.003166596417},
    {"intervals", "exponential", "blife", "1", 4.502976104, 3.106603182, 6.526998336, 3.173860679,
     6.687222265},
    {"intervals", "exponential", "blife", "10", 47.20597314, 32.56740053, 68.42437112, 33.27247991,
     70.10404393},
    {"intervals", "exponential", "blife", "50", 310.5592924, 214.2548536, 450.151175, 218.8934393,
     461.2014291},
    {"intervals", "exponential", "rel", "150", 0.7154884807, 0.6155291874, 0.7937621144,
     0.6218916096, 0.7981669791},
    {"intervals", "exponential", "rel", "350", 0.4578671728, 0.3222900168, 0.5833701304,
     0.3301168007, 0.5909518531},
    {"intervals", "lognormal", "loglik", "", -68.62917393, NAN, NAN, NAN, NAN},
    {"intervals", "lognormal", "param", "mu", 5.734286587, 5.507549487, 5.961023687, 5.515634783,
     5.992387227},
    {"intervals", "lognormal", "param", "sigma", 0.6896889588, 0.5040110682, 0.9437706628,
     0.5164703798, 0.9717122065},
    {"intervals", "lognormal", "blife", "1", 62.16736254, 37.83489344, 102.1485886, 32.86855524,
     93.19553953},
    {"intervals", "lognormal", "blife", "10", 127.7933648, 93.70104113, 174.2898894, 86.84796657,
     166.2525181},
    {"intervals", "lognormal", "blife", "50", 309.292239, 246.5462216, 388.0071188, 248.547701,
     400.3692423},
    {"intervals", "lognormal", "rel", "150", 0.8529668473, 0.7302939155, 0.922683692, 0.7440615706,
     0.927913258},
    {"intervals", "lognormal", "rel", "350", 0.4288594198, 0.2915573404, 0.5590291183, 0.2992129071,
     0.56682865},
    {"ties", "weibull", "loglik", "", -66.009865, NAN, NAN, NAN, NAN},
    {"ties", "weibull", "param", "eta", 303.7812056, 239.5860088, 385.1770032, 247.4923704,
     428.8295151},
    {"ties", "weibull", "param", "beta", 2.766660416, 1.634797604, 4.682175848, 1.526954398,
     4.451444508},
    {"ties", "weibull", "blife", "1", 57.60442729, 25.19004173, 131.7294381, 16.64032328,
     106.0615373},
    {"ties", "weibull", "blife", "10", 134.6824931, 88.93257622, 203.9677103, 74.1075304,
     185.9315934},
    {"ties", "weibull", "blife", "50", 266.0895417, 212.6473582, 332.9627266, 212.2595901,
     356.6524351},
    {"ties", "weibull", "rel", "200", 0.7300771934, 0.519592223, 0.8596967392, 0.5436516416,
     0.8703193638},
    {"ties", "exponential", "loglik", "", -70.79933195, NAN, NAN, NAN, NAN},
    {"ties", "exponential", "param", "lambda", 0.002288329519, 0.001231246476, 0.004252968102,
     0.00114662827, 0.004013580044},
    {"ties", "exponential", "blife", "1", 4.391996768, 2.363134548, 8.162732684, 2.504082575,
     8.765121281},
    {"ties", "exponential", "blife", "10", 46.04254534, 24.77340839, 85.57223731, 26.25100646,
     91.88724749},
    {"ties", "exponential", "blife", "50", 302.9053179, 162.979633, 562.9637883, 172.7004751,
     604.5090623},
    {"ties", "exponential", "rel", "200", 0.6327588432, 0.427161285, 0.7817273197, 0.4481102385,
     0.7950695737},
    {"ties", "lognormal", "loglik", "", -65.88438357, NAN, NAN, NAN, NAN},
    {"ties", "lognormal", "param", "mu", 5.570723845, 5.28657236, 5.854875329, 5.314390959,
     5.951539267},
    {"ties", "lognormal", "param", "sigma", 0.5241035395, 0.3290427959, 0.8347987662, 0.3491497137,
     0.9026170847},
    {"ties", "lognormal", "blife", "1", 77.59295909, 46.11584895, 130.5552741, 35.49688007,
     114.4330842},
    {"ties", "lognormal", "blife", "10", 134.1633561, 96.92433136, 185.7098819, 85.16365876,
     176.0485574},
    {"ties", "lognormal", "blife", "50", 262.6241295, 197.6647394, 348.9313957, 203.2406934,
     384.3444926},
    {"ties", "lognormal", "rel", "200", 0.6983835199, 0.4894978161, 0.8349381876, 0.5120641083,
     0.8463782294},
    {"large", "weibull", "loglik", "", -3964.770041, NAN, NAN, NAN, NAN},
    {"large", "weibull", "param", "eta", 950.9026974, 902.6512389, 1001.73345, 903.3908727,
     1002.834808},
    {"large", "weibull", "param", "beta", 1.669213395, 1.557145511, 1.789346814, 1.555266836,
     1.787271746},
    {"large", "weibull", "blife", "1", 60.43287771, 49.69409776, 73.49228326, 49.21822849,
     72.84810635},
    {"large", "weibull", "blife", "10", 246.966175, 222.4356296, 274.201987, 221.4359391,
     273.0758833},
    {"large", "weibull", "blife", "50", 763.4437922, 723.7171841, 805.3510911, 723.5648803,
     805.3786124},
    {"large", "weibull", "rel", "500", 0.7103559566, 0.6823200337, 0.7364134841, 0.6827776233,
     0.73681863},
    {"large", "weibull", "rel", "1500", 0.1176457619, 0.09299494898, 0.1454066239, 0.09320758087,
     0.1456815899},
    {"large", "exponential", "loglik", "", -4046.905252, NAN, NAN, NAN, NAN},
    {"large", "exponential", "param", "lambda", 0.0009730176483, 0.0008921315114, 0.00106123742,
     0.0008909958834, 0.001059925027},
    {"large", "exponential", "blife", "1", 10.32903758, 9.470393392, 11.26553174, 9.482119584,
     11.27989033},
    {"large", "exponential", "blife", "10", 108.2822247, 99.28081467, 118.0997581, 99.40374366,
     118.2502833},
    {"large", "exponential", "blife", "50", 712.3685596, 653.1499618, 776.9562802, 653.9586887,
     777.9465578},
    {"large", "exponential", "rel", "500", 0.6147689185, 0.5882409064, 0.6401416777, 0.5886270349,
     0.6405052623},
    {"large", "exponential", "rel", "1500", 0.2323462711, 0.2035474502, 0.2623181321, 0.2039485465,
     0.2627653566},
    {"large", "lognormal", "loglik", "", -4003.727519, NAN, NAN, NAN, NAN},
    {"large", "lognormal", "param", "mu", 6.575570051, 6.507409904, 6.643730198, 6.508412799,
     6.645002854},
    {"large", "lognormal", "param", "sigma", 0.8737062674, 0.8207288177, 0.9301033731, 0.8217601673,
     0.9313203762},
    {"large", "lognormal", "blife", "1", 93.9746752, 82.65855242, 106.839998, 82.14457427,
     106.2349239},
    {"large", "lognormal", "blife", "10", 234.1285717, 215.1370333, 254.7966161, 214.4511354,
     254.0706468},
    {"large", "lognormal", "blife", "50", 717.3544364, 670.0885742, 767.9542783, 670.7609396,
     768.9322419},
    {"large", "lognormal", "rel", "500", 0.6602475355, 0.6316717246, 0.6871814766, 0.6321112077,
     0.6875824298},
    {"large", "lognormal", "rel", "1500", 0.1992572443, 0.1709008445, 0.22924022, 0.1712658655,
     0.2296586312},
};

LifeData load(const std::string &set)
{
    QFile f(QStringLiteral(OBROTK_LIFE_DATA "/") + QString::fromStdString(set) + ".csv");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return readLifeTable(f.readAll());
}

std::vector<double> timesFor(const std::string &set)
{
    static const std::map<std::string, std::vector<double>> t = {{"issue", {300, 500}},
                                                                 {"heavy", {1000, 3000}},
                                                                 {"intervals", {150, 350}},
                                                                 {"ties", {200}},
                                                                 {"large", {500, 1500}}};
    return t.at(set);
}

Dist distOf(const std::string &law)
{
    if (law == "weibull")
        return Dist::Weibull2;
    if (law == "exponential")
        return Dist::Exponential;
    return Dist::Lognormal;
}

// Parameters and log-likelihood within 1e-6 relative, bounds within 1e-5 relative.
void expectRel(double expected, double actual, double tol, const std::string &what)
{
    EXPECT_NEAR(actual, expected, tol * std::abs(expected)) << what;
}

void expectSide(double expected, const std::optional<double> &actual, const std::string &what)
{
    if (std::isnan(expected)) {
        EXPECT_FALSE(actual.has_value()) << what << " should be unbounded";
        return;
    }
    ASSERT_TRUE(actual.has_value()) << what;
    expectRel(expected, *actual, 1e-5, what);
}

const Figure *findFigure(const std::vector<Figure> &v, const QString &key)
{
    for (const Figure &f : v)
        if (f.key == key)
            return &f;
    return nullptr;
}

}   // namespace

TEST(Survreg, ParametersLogLikelihoodAndBothBoundsAgree)
{
    std::map<std::pair<std::string, std::string>, LifeFit> fits;
    for (const Ref &r : kRefs) {
        const auto id = std::make_pair(std::string(r.set), std::string(r.law));
        if (!fits.count(id)) {
            LifeOptions o;
            o.dist = distOf(r.law);
            o.times = timesFor(r.set);
            fits[id] = fitLife(load(r.set), o);
        }
        const LifeFit &fit = fits[id];
        const std::string what = std::string(r.set) + "/" + r.law + "/" + r.what + "/" + r.key;
        const std::string kind = r.what;
        if (kind == "loglik") {
            expectRel(r.value, fit.loglik, 1e-6, what);
            continue;
        }
        const auto &list = kind == "param"   ? fit.params
                           : kind == "blife" ? fit.bLives
                                             : fit.reliability;
        const Figure *f = findFigure(list, QString::fromLatin1(r.key));
        ASSERT_NE(f, nullptr) << what;
        expectRel(r.value, f->value, kind == "param" ? 1e-6 : 1e-5, what);
        ASSERT_TRUE(f->fisher.has_value()) << what;
        expectSide(r.fisherLow, f->fisher->low, what + " fisher low");
        expectSide(r.fisherHigh, f->fisher->high, what + " fisher high");
        ASSERT_TRUE(f->lr.has_value()) << what;
        expectSide(r.lrLow, f->lr->low, what + " lr low");
        expectSide(r.lrHigh, f->lr->high, what + " lr high");
    }
    EXPECT_EQ(fits.size(), 15u);
}
