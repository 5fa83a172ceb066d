// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Warranty cohorts: units put into service period by period and their claims by
 * later period (the "Nevada" table), the fit of the claims, the forecast of claims and
 * their cost by calendar period, and the monitoring of batches and field events.
 *
 * Ages are counted in periods of service: age a = 1 is the sale period itself, so a unit
 * of the row sold in calendar period s reaches age a in calendar period s + a − 1.
 * Operating hours are the usage rate times the age (a fixed rate, a lognormal law of rates
 * or the empirical law of a sample of rates; with a law every expected count is an
 * average over the rate). A unit's claims count while its age is within the warranty
 * limit in periods and its hours within the limit in hours.
 *
 * Two models:
 *  - repeat claims (the default): a unit's claims form a Poisson process with mean
 *    K·F(t) by t operating hours, F(t) = 1 − exp(−A·t^B); the cell (row r, age a) is
 *    Poisson with mean N_r·K·E_u[ΔF over the cell's hours cut at the limits], and K comes
 *    out in closed form (K̂ = Σ claims / Σ expected claims at K = 1);
 *  - first failures: a unit claims at most once; claims are interval-censored failure
 *    ages, units without claims are suspended at their age at the data end (or at the
 *    warranty limit).
 *
 * Age conventions: interval ages (the default; a claim at age a happened somewhere in
 * ((a − 1), a] periods of service) or end-of-period ages (a claim at exactly a periods,
 * units without claims suspended at their age at the data end), the conversion that
 * commercial warranty tools use; the two give different fits of the same table.
 *
 * Plain records in and out; nothing here knows a window. runCohorts is the one entry
 * point for the window's worker thread and the command line.
 */
#include <QByteArray>
#include <QChar>
#include <QJsonObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace obr::cohort {

// ---------------------------------------------------------------------------------------
// The table

//! The length of one period.
enum class Period { Month, Week, Quarter };

//! How the claim columns of a read table were laid out.
enum class Layout {
    Age,        //!< the columns are ages 1, 2, … in periods
    Calendar,   //!< the columns are the claim periods themselves
};

/*! \brief A Nevada table: one row per sales period in time order, the units sold in it,
 *  and the claims of each later period, by cause when a cause column was given.
 *
 *  Calendar periods are numbered from 0, the first row's sale period. Counts are whole
 *  numbers held as doubles. */
struct NevadaTable {
    Layout layout = Layout::Age;    //!< as read (for display); the claims are by age
    std::vector<QString> rows;      //!< sales period labels, in time order
    std::vector<double> units;      //!< units sold in each row's period
    std::vector<int> start;         //!< calendar period of each row's sale
    std::vector<QString> periods;   //!< labels of calendar periods 0 … dataEnd
    int dataEnd = 0;                //!< the last calendar period with claims data
    std::vector<QString> causes;    //!< the causes in order of appearance; empty: none
    /*! claims[c][r][a − 1]: claims of cause c (c = 0 when there is no cause column) from
     *  row r at age a, for a = 1 … dataEnd − start[r] + 1 (ages past the data end are not
     *  held). */
    std::vector<std::vector<std::vector<double>>> claims;
    //! Usage rates (hours per period) seen at the claims of a claims list with hours;
    //! empty otherwise. They can serve as the empirical usage law.
    std::vector<double> claimRates;
    //! The file line of each row (its first line when it has one per cause); empty when
    //! the table was not read from a text.
    std::vector<int> lines;

    int rowCount() const { return int(rows.size()); }
    int causeCount() const { return int(claims.size()); }
    //! Claims of row r at age a summed over the causes (0 past the data end).
    double cell(int r, int a) const;
};

/*! \brief Reads a Nevada table from a file's bytes (UTF-8 or Windows-1251; semicolon,
 *  tab or comma separated; the decimal comma or point).
 *
 *  The header row is `период;продано;1;2;…;m` (or `period;units;…`; an optional
 *  `причина`/`cause` column after the units) for the age layout, or the claim periods'
 *  labels instead of the ages for the calendar layout. Blank cells past the data end.
 *  Throws obr::UserError with a Russian message naming the row and the column of the
 *  first fault: claims before the sale period or after the data end, negative or
 *  non-integer counts, a row without units, periods out of order; under the
 *  first-failure model (\a firstFailures) also claims exceeding the units. */
NevadaTable readNevada(const QByteArray &bytes, bool firstFailures = false);

/*! \brief The same for text already decoded (a paste from a spreadsheet: tab-separated,
 *  the user's decimal separator). */
NevadaTable parseNevadaText(const QString &text, bool firstFailures = false);

/*! \brief Builds the table from a list of claims and a sales table.
 *
 *  \a claims: one line per claim: the sale (or in-service) date, the claim date, an
 *  optional cause, optional operating hours at the claim; a header row is allowed.
 *  \a sales: one line per sales period: the period (a date inside it or its label) and
 *  the units. Dates as 2024-03-15 or 15.03.2024. \a dataEnd, when given, is a date in the
 *  last period with claims data (default: the last claim's period). Throws obr::UserError
 *  naming the file, the line and the column of the first fault (a claim dated before its
 *  sale, a sale period missing from the sales table, periods out of order, a bad date). */
NevadaTable buildFromClaims(const QByteArray &claims, const QByteArray &sales, Period period,
                            const QString &dataEnd = QString());

/*! \brief The label of calendar period \a index of \a t: its own label up to the data
 *  end, then the labels continued by period (2024-03 → 2024-04, 2024-Q1 → 2024-Q2,
 *  2024-W05 → 2024-W06), or "+h" after the data end when the labels are not dates. */
QString periodLabel(const NevadaTable &t, int index, Period period);

/*! \brief The calendar period that \a text names in \a t: a label of the table (or of
 *  the continued labels), or a number 1, 2, … counting the first sale period as 1.
 *  Empty when it names none. */
std::optional<int> periodIndex(const NevadaTable &t, const QString &text, Period period);

// ---------------------------------------------------------------------------------------
// The settings

enum class UsageKind {
    Fixed,       //!< one rate for every unit
    Lognormal,   //!< rates lognormal with a median and a deviation of ln(rate)
    Sample,      //!< the empirical law of a sample of rates
};

struct Usage {
    UsageKind kind = UsageKind::Fixed;
    double rate = 1;              //!< hours per period (Fixed); 1: hours are ages in periods
    double median = 1;            //!< hours per period (Lognormal)
    double logSd = 0.5;           //!< deviation of ln(rate) (Lognormal)
    std::vector<double> sample;   //!< rates (Sample)
};

enum class AgeConvention { Interval, End };
enum class ModelKind { Repeat, First };
enum class FutureSalesKind {
    None,     //!< no units sold after the data end
    AsLast,   //!< every future period sells as the last sales period did
    Typed,    //!< the units typed per future period (then none)
};

//! The cost of one claim: fixed (sd = 0) or a mean with a deviation.
struct Cost {
    double mean = 0;
    double sd = 0;
};

struct Settings {
    Period period = Period::Month;
    //! The last calendar period of the data used; empty: the table's own data end.
    std::optional<int> dataEnd;
    Usage usage;
    //! Warranty limit in periods of age; empty: none (the forecast then stops at the
    //! horizon).
    std::optional<int> warrantyPeriods;
    //! Warranty limit in operating hours, whichever comes first; empty: none.
    std::optional<double> warrantyHours;
    AgeConvention ages = AgeConvention::Interval;
    ModelKind model = ModelKind::Repeat;
    double level = 0.90;   //!< of the bounds, the intervals and the reserve's quantile
    //! Future periods forecast after the data end; empty: until the warranty of the last
    //! cohort ends; never more than ten years of periods.
    std::optional<int> horizon;
    FutureSalesKind futureSales = FutureSalesKind::None;
    std::vector<double> futureUnits;   //!< Typed: units per future period, in order
    std::optional<Cost> cost;          //!< empty: no cost forecast, no reserve
    //! Refit on the data up to this earlier calendar period and forecast what came after.
    std::optional<int> backtest;
    int draws = 2000;           //!< parameter draws of the predictive intervals
    uint64_t seed = 20240611;   //!< their generator's seed (results are reproducible)
    bool lrBounds = true;       //!< compute the likelihood-ratio bounds
    bool perCause = true;       //!< also fit every cause on its own
    QChar dec = u'.';           //!< decimal separator of numbers in messages
};

//! The limits of the ten years of a horizon, by period.
int maxHorizon(Period period);

// ---------------------------------------------------------------------------------------
// The result

//! A two-sided bound; an unbounded (or unavailable) side is empty.
struct Bound {
    std::optional<double> low, high;
};

/*! One figure with both kinds of bounds. Keys as in the maximum-likelihood fit of the
 *  failure file: "B", "inv_A", "eta", "K", "KA" (repeat claims only), "t_0.5", "t_0.2",
 *  "t_0.1" (operating hours where K·F reaches 0.5, 0.2, 0.1; F under first failures),
 *  "M_tGar" (K·F at the hours where the warranty ends for the fixed rate, or for the
 *  median rate of a law), "per_product" (claims per unit over the whole warranty: K times
 *  the average of F over the rates; equal to M_tGar for a fixed rate). The two warranty
 *  figures exist only with a warranty limit. Under first failures the same keys without
 *  "K" and "KA", F in place of K·F. */
struct Figure {
    QString key;
    std::optional<double> estimate;
    Bound fisher;
    Bound lr;
};

struct Gof {
    double deviance = 0;   //!< Poisson (repeat) or multinomial (first) deviance over the cells
    double chi2 = 0;       //!< Pearson's X² over the same cells
    int cells = 0;         //!< cells with a positive expected count
    int df = 0;            //!< cells − fitted parameters
    std::optional<double> devianceP, chi2P;   //!< empty when df < 1
};

//! One observed cell.
struct Cell {
    int row = 0;      //!< row of the table
    int age = 1;      //!< age in periods
    int period = 0;   //!< calendar period
    double observed = 0;
    double expected = 0;
    double residual = 0;   //!< (observed − expected)/√expected; 0 when expected is 0
};

enum class Flag { None, Caution, Critical };   //!< p ≥ 0.10, p < 0.10, p < 0.01

//! Pearson's X² of one row (sales period) or column (claim period).
struct MonitorLine {
    int index = 0;   //!< row, or calendar period
    QString label;
    double observed = 0, expected = 0;
    double X2 = 0;
    int df = 0;   //!< cells of the line with a positive expected count
    std::optional<double> p;
    Flag flag = Flag::None;
};

struct Interval {
    double low = 0, high = 0;
};

//! The forecast of one future calendar period.
struct ForecastRow {
    int period = 0;   //!< calendar period
    QString label;
    double fromService = 0;       //!< expected claims of the units sold up to the data end
    double fromSales = 0;         //!< expected claims of future sales
    double expected = 0;          //!< the sum
    Interval plugin;              //!< Poisson quantiles at the expected count
    Interval predictive;          //!< with the parameters' uncertainty
    std::optional<double> cost;   //!< expected cost
    std::optional<Interval> costInterval;   //!< predictive
    std::optional<double> observed;         //!< backtesting: what came
    // Cumulative from the first forecast period.
    double cumExpected = 0;
    Interval cumPredictive;
    std::optional<double> cumCost;
    std::optional<Interval> cumCostInterval;
};

struct Total {
    double expected = 0;
    Interval plugin, predictive;
    std::optional<double> cost;
    std::optional<Interval> costInterval;
    std::optional<double> observed;   //!< backtesting
};

struct Forecast {
    int firstPeriod = 0;   //!< calendar period of the first row (data end + 1)
    std::vector<ForecastRow> rows;
    Total total;
    //! The level quantile of the total cost over the horizon; empty without a cost.
    std::optional<double> reserve;
};

//! The fit of one table (all causes together, or one cause).
struct Fit {
    ModelKind model = ModelKind::Repeat;
    double A = 0, B = 0, K = 1;   //!< K = 1 under first failures
    double loglik = 0;            //!< with every constant
    int parameters = 2;           //!< fitted: 3 with repeat claims (K), 2 with first failures
    int iterations = 0;
    double gradientNorm = 0;       //!< max |score| at the end
    double claims = 0;             //!< claims in the observed cells
    double units = 0;              //!< units sold up to the data end
    std::vector<Figure> figures;   //!< in the order of the JSON keys
    bool ridge = false;            //!< only K·A and B are determined
    bool limit = false;            //!< the maximum is not attained (K at its range's end)
    QString ridgeMessage;          //!< the ridge or limit text; empty otherwise
    /*! Covariance of (ln A, ln B[, ln K]) from the observed information; empty when it is
     *  not positive definite (then no Fisher bounds and plug-in-only predictions). */
    std::vector<double> covariance;
    Gof gof;
    std::vector<Cell> cells;
    std::vector<MonitorLine> monitorRows, monitorColumns;

    const Figure *figure(const QString &key) const;
};

struct CauseResult {
    QString cause;
    std::optional<Fit> fit;
    std::optional<Forecast> forecast;
    QString error;   //!< the refusal, when the cause could not be fitted
};

struct Backtest {
    int dataEnd = 0;   //!< the earlier data end of the refit
    Fit fit;
    Forecast forecast;   //!< with observed counts up to the table's data end
    //! Forecast periods whose observed count lies in the predictive interval.
    int covered = 0;
};

struct CohortRequest {
    NevadaTable table;
    Settings settings;
};

struct CohortResult {
    Settings settings;   //!< as used: data end and horizon resolved
    int horizon = 0;
    Fit fit;   //!< all causes together
    Forecast forecast;
    std::optional<Backtest> backtest;
    std::vector<CauseResult> causes;     //!< one per cause when the table has causes
    std::vector<QString> notes;          //!< messages for the user (ridge, limits, …)
    std::vector<QString> periodLabels;   //!< labels of calendar periods 0 … last forecast
};

//! Percent done (0 … 100), called on the calculating thread.
using Progress = std::function<void(int percent)>;

/*! \brief The whole analysis: the fit with both kinds of bounds, the forecast, the
 *  backtest and the causes' own fits. Throws obr::UserError (Russian) when the settings
 *  are impossible or the table cannot be fitted, and obr::Cancelled when \a cancel (may
 *  be null) turns true; it is checked between the stages and the bounds. Runs on any
 *  thread; touches nothing but its arguments. */
CohortResult runCohorts(const CohortRequest &request, const std::atomic<bool> *cancel = nullptr,
                        const Progress &progress = {});

/*! \brief Checks the settings against the table (data end, backtest, warranty limits,
 *  usage, level, horizon, cost) and throws obr::UserError for the first impossible one. */
void checkSettings(const NevadaTable &table, const Settings &settings);

//! The "cohorts" object of the command line's JSON (plain C numbers, null for none).
QJsonObject cohortsJson(const CohortResult &r, const NevadaTable &table);

//! Keys of the JSON and the command line.
QString modelKey(ModelKind m);      //!< "repeat", "first"
QString agesKey(AgeConvention a);   //!< "interval", "end"
QString periodKey(Period p);        //!< "month", "week", "quarter"
QString flagKey(Flag f);            //!< "", "caution", "critical"

}   // namespace obr::cohort
