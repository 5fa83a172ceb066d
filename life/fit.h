// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Fits of life distributions to data with suspensions and intervals: maximum
 * likelihood for all, rank regression on X or Y for Weibull (2 parameters), exponential,
 * lognormal and normal; Fisher-matrix and likelihood-ratio bounds on the parameters,
 * B-lives and reliabilities; information criteria and the ranking of all fits.
 */
#include "dist.h"
#include "lifedata.h"

#include <Eigen/Dense>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace obr::life {

//! A two-sided bound; an empty side is unbounded (or, for a whole bound, not available).
struct Bounds {
    std::optional<double> low, high;
};

struct Figure {
    QString key;   //!< "eta", "10" (percent), "500" (time)
    double value = 0;
    std::optional<Bounds> fisher;
    std::optional<Bounds> lr;
    bool undetermined = false;   //!< the data do not determine it (one failure time)
    bool atLimit = false;        //!< the value is the edge of its search range, not a maximum
};

struct LifeOptions {
    Dist dist = Dist::Weibull2;
    Estimator estimator = Estimator::MLE;
    double level = 0.95;
    std::vector<double> bPercents = {1, 10, 50};
    std::vector<double> times;
    bool lrBounds = true;
    //! Checked inside every maximisation and profile: when set, the fit ends with
    //! obr::Cancelled.
    const std::atomic<bool> *stop = nullptr;
    //! Steps done out of total, after the fit and after each figure's bounds.
    std::function<void(int done, int total)> progress;
};

struct LifeFit {
    Dist dist = Dist::Weibull2;
    Estimator estimator = Estimator::MLE;
    double level = 0.95;
    Tally tally;
    std::vector<double> theta;    //!< internal parameters (see dist.h)
    Eigen::MatrixXd covariance;   //!< of theta; empty when the information is singular
    double loglik = 0;
    double aic = 0;
    std::optional<double> aicc;   //!< empty when there are too few units
    double bic = 0;
    std::optional<double> rho;   //!< correlation of the rank regression
    std::vector<Figure> params, bLives, reliability;
    std::vector<QString> notes;
    /*! The likelihood rises up to an edge of the search range: no maximum, the figures
     *  are the edge's and are not estimates (limitMessage says why and what to do). */
    bool limit = false;
    QString limitMessage;
    bool undetermined = false;   //!< the data do not determine the figures (flagged)
    //! Intervals from 0 read as (0, b] under the normal law (not as reaching -infinity).
    bool zeroStartIntervals = false;
    //! Whether the fit can be recommended: an estimate the data determine.
    bool sound() const { return !limit && !undetermined; }
};

/*! \brief Fits one distribution. Throws obr::UserError with a message for the user where
 * the data admit no fit of this kind. */
LifeFit fitLife(const LifeData &data, const LifeOptions &options);

struct RankEntry {
    Dist dist = Dist::Weibull2;
    std::optional<LifeFit> fit;   //!< empty when the distribution could not be fitted
    QString error;
    bool best = false;   //!< recommended: the best of at least two sound fits
    bool only = false;   //!< recommended, but it is the only sound fit: nothing was compared
};

struct LifeAll {
    //! Sound fits first by AICc (then BIC), then flagged fits, failures last.
    std::vector<RankEntry> ranking;
    LifeFit best;   //!< the recommended fit with all its bounds (the first one if none is)
    bool recommended = false;   //!< whether some fit is recommended
};

//! Fits every distribution (with the chosen estimator where it applies) and ranks them.
LifeAll fitAllLife(const LifeData &data, const LifeOptions &options);

//! R(t) of a fit with its Fisher bounds (for the confidence band of the plot).
Figure reliabilityAt(const LifeFit &fit, double t);

//! Checks the options a user typed (level, percents, times).
void checkOptions(const LifeOptions &options);

}   // namespace obr::life
