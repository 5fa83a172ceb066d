# Reference figures of R's survival package for the life-data fixtures.
#   Rscript survreg_reference.R DATA_DIR [REGENERATE_LARGE(0|1)]
# For each data set and law (weibull, exponential, lognormal): the parameters, the
# log-likelihood, Wald (Fisher-matrix) bounds from vcov(survreg) on the log of positive
# parameters, on ln t for B-lives and on ln(-ln R) for reliabilities, and likelihood-ratio
# bounds from the profile deviance against the chi-square quantile. The profile over the
# scale refits survreg with the scale fixed; the profiles over the location, a B-life or a
# reliability maximise the survreg log-likelihood (dsurvreg/psurvreg) over the scale with
# the location substituted. One line per figure:
#   {"set", "law", "what", "key", value, fisherLow, fisherHigh, lrLow, lrHigh},
# where NAN marks an unbounded side.
suppressPackageStartupMessages(library(survival))
args <- commandArgs(trailingOnly = TRUE)
dir <- args[1]
regen <- length(args) > 1 && args[2] == "1"
level <- 0.95
z <- qnorm(1 - (1 - level) / 2)
q <- qchisq(level, 1)
ctl <- survreg.control(rel.tolerance = 1e-13, iter.max = 200)

state_of <- function(s) {
  s <- tolower(trimws(as.character(s)))
  ifelse(s %in% c("f", "1", "отказ"), 1, ifelse(s %in% c("s", "0", "приост."), 0, NA))
}

large_file <- file.path(dir, "large.csv")
if (regen || !file.exists(large_file)) {
  set.seed(20261210)
  n <- 400
  life <- rweibull(n, shape = 1.7, scale = 1000)
  cens <- runif(n, 200, 2000)
  time <- round(pmin(life, cens), 1)
  state <- ifelse(life <= cens, "F", "S")
  count <- sample(1:3, n, replace = TRUE)
  write.table(data.frame(time = sprintf("%.1f", time), state = state, count = count),
              large_file, sep = ",", quote = FALSE, row.names = FALSE)
}

# Each set as (left, right, weight): right = NA for a suspension, left = NA for a unit
# failed before its first inspection, left == right for an exact failure.
read_set <- function(name) {
  f <- file.path(dir, paste0(name, ".csv"))
  if (name == "issue") {
    d <- read.csv(f)
    st <- state_of(d$state)
    return(list(l = d$time, r = ifelse(st == 1, d$time, NA), w = rep(1, nrow(d))))
  }
  if (name == "heavy") {
    d <- read.csv2(f, fileEncoding = "UTF-8", check.names = FALSE)
    st <- state_of(d[[2]])
    return(list(l = d[[1]], r = ifelse(st == 1, d[[1]], NA), w = d[[3]]))
  }
  if (name == "intervals") {
    d <- read.delim(f)
    st <- state_of(d$state)
    l <- ifelse(d$start == 0, NA, d$start)
    r <- ifelse(st == 1, d$end, NA)
    return(list(l = l, r = r, w = d$count))
  }
  if (name == "ties") {
    d <- read.csv(f)
    st <- state_of(d$status)
    return(list(l = d$time, r = ifelse(st == 1, d$time, NA), w = d$qty))
  }
  d <- read.csv(f)
  st <- state_of(d$state)
  list(l = d$time, r = ifelse(st == 1, d$time, NA), w = d$count)
}

times_for <- list(issue = c(300, 500), heavy = c(1000, 3000), intervals = c(150, 350),
                  ties = c(200), large = c(500, 1500))

fmt <- function(x) if (is.na(x)) "NAN" else sprintf("%.10g", x)
emit <- function(set, law, what, key, v, f, l) {
  cat(sprintf('    {"%s", "%s", "%s", "%s", %s, %s, %s, %s, %s},\n', set, law, what, key,
              fmt(v), fmt(f[1]), fmt(f[2]), fmt(l[1]), fmt(l[2])))
}

for (set in c("issue", "heavy", "intervals", "ties", "large")) {
  d <- read_set(set)
  y <- Surv(d$l, d$r, type = "interval2")
  w <- d$w
  n <- length(w)
  for (law in c("weibull", "exponential", "lognormal")) {
    fit <- survreg(y ~ 1, weights = w, dist = law, control = ctl)
    mu <- unname(coef(fit)[1])
    sig <- fit$scale
    fixed <- law == "exponential"
    V <- vcov(fit)
    lhat <- fit$loglik[2]
    # log-likelihood at (m, s) through the package's own density and distribution
    ll <- function(m, s) suppressWarnings({
      sum(w * ifelse(!is.na(d$l) & !is.na(d$r) & d$l == d$r,
                     log(dsurvreg(d$r, m, s, law)),
                     ifelse(is.na(d$r), log(1 - psurvreg(d$l, m, s, law)),
                            log(psurvreg(d$r, m, s, law) -
                                ifelse(is.na(d$l), 0, psurvreg(d$l, m, s, law))))))
    })
    ll_s <- function(s) {  # profile over the location with the scale fixed
      survreg(y ~ 1, weights = w, dist = law, scale = s, control = ctl)$loglik[2]
    }
    # profile with mu = a - sigma * zfun: maximise over ln sigma
    ll_line <- function(a, zz) {
      if (fixed) return(ll(a - zz, 1))
      o <- optimize(function(ls) ll(a - exp(ls) * zz, exp(ls)),
                    c(log(sig) - 6, log(sig) + 6), maximum = TRUE, tol = 1e-12)
      o$objective
    }
    ll_mu <- function(m) ll_line(m, 0)  # profile over the scale with the location fixed
    # bound on one side of the work value w0 for the profile pl(w)
    lr_side <- function(pl, w0, step, dir) {
      dev <- function(x) 2 * (lhat - pl(x)) - q
      b <- w0 + dir * step
      for (k in 1:40) {
        v <- tryCatch(dev(b), error = function(e) NA)
        if (is.na(v)) return(NA)
        if (v > 0) break
        b <- w0 + dir * step * 2^k
        if (abs(b - w0) > 40) return(NA)
      }
      if (v <= 0) return(NA)
      uniroot(dev, sort(c(w0, b)), tol = 1e-12)$root
    }
    lr_pair <- function(pl, w0, se) {
      c(lr_side(pl, w0, z * se, -1), lr_side(pl, w0, z * se, 1))
    }
    emit(set, law, "loglik", "", lhat, c(NA, NA), c(NA, NA))
    se_mu <- sqrt(V[1, 1])
    if (law == "weibull") {
      emit(set, law, "param", "eta", exp(mu), exp(mu + c(-1, 1) * z * se_mu),
           exp(lr_pair(ll_mu, mu, se_mu)))
      se_s <- sqrt(V[2, 2])
      lb <- lr_pair(function(x) ll_s(exp(-x)), -log(sig), se_s)
      emit(set, law, "param", "beta", 1 / sig, exp(-log(sig) + c(-1, 1) * z * se_s), exp(lb))
    } else if (law == "exponential") {
      lb <- lr_pair(function(x) ll_mu(-x), -mu, se_mu)
      emit(set, law, "param", "lambda", exp(-mu), exp(-mu + c(-1, 1) * z * se_mu), exp(lb))
    } else {
      emit(set, law, "param", "mu", mu, mu + c(-1, 1) * z * se_mu, lr_pair(ll_mu, mu, se_mu))
      se_s <- sqrt(V[2, 2])
      lb <- lr_pair(function(x) ll_s(exp(x)), log(sig), se_s)
      emit(set, law, "param", "sigma", sig, exp(log(sig) + c(-1, 1) * z * se_s), exp(lb))
    }
    zq <- function(p) if (law == "lognormal") qnorm(p) else log(-log(1 - p))
    for (pc in c(1, 10, 50)) {
      zp <- zq(pc / 100)
      v <- mu + sig * zp
      g <- if (fixed) c(1) else c(1, sig * zp)
      se <- sqrt(drop(t(g) %*% V %*% g))
      lb <- lr_pair(function(x) ll_line(x, zp), v, se)
      emit(set, law, "blife", as.character(pc), exp(v), exp(v + c(-1, 1) * z * se), exp(lb))
    }
    for (t0 in times_for[[set]]) {
      zz <- (log(t0) - mu) / sig
      S <- 1 - psurvreg(t0, mu, sig, law)
      u <- log(-log(S))
      dudz <- if (law == "lognormal") dnorm(zz) / S / (-log(S)) else 1
      g <- if (fixed) c(-dudz / sig) else c(-dudz / sig, -dudz * zz)
      se <- sqrt(drop(t(g) %*% V %*% g))
      # z0(u): the standard quantile at 1 - R with R = exp(-exp(u))
      z0 <- function(x) if (law == "lognormal") qnorm(-expm1(-exp(x))) else x
      lb <- lr_pair(function(x) ll_line(log(t0), z0(x)), u, se)
      emit(set, law, "rel", sprintf("%g", t0), S, exp(-exp(u + c(1, -1) * z * se)),
           exp(-exp(rev(lb))))
    }
  }
}
