# SPDX-License-Identifier: MIT
# The first-failure fit of tests/cohort/data/first_failures.csv as R's survreg computes it:
# each claim cell an interval of hours ((age - 1)·u, age·u] (left-censored at age 1), the
# units without claims right-censored at their age at the data end (cut at the warranty
# limit), counts as weights.
suppressMessages(library(survival))
args <- commandArgs(trailingOnly = TRUE)
tab <- read.csv2(args[1], check.names = FALSE, na.strings = "")
ref <- function(u, limit) {
  left <- c(); right <- c(); w <- c()
  D <- nrow(tab)
  for (r in seq_len(nrow(tab))) {
    m <- min(D - r + 1, limit)
    cl <- as.numeric(tab[r, 3:ncol(tab)])
    cl[is.na(cl)] <- 0
    for (a in seq_len(m)) if (cl[a] > 0) {
      left <- c(left, if (a == 1) NA else u * (a - 1)); right <- c(right, u * a); w <- c(w, cl[a])
    }
    left <- c(left, u * m); right <- c(right, NA); w <- c(w, tab[r, 2] - sum(cl[seq_len(m)]))
  }
  f <- survreg(Surv(left, right, type = "interval2") ~ 1, weights = w, dist = "weibull")
  se <- sqrt(diag(f$var))
  cat(sprintf("u=%g limit=%g eta=%.10g beta=%.10g loglik=%.10g se_logeta=%.10g se_logscale=%.10g\n",
              u, limit, exp(coef(f)), 1 / f$scale, f$loglik[1], se[1], se[2]))
}
ref(1, 99)
ref(10, 99)
ref(10, 4)
