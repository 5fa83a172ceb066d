// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The data model and the process-wide working state of the program.
 *
 * All working data live in one record, State. Core routines take it (or the parts
 * they need) explicitly, so tests build their own State and need no globals. The
 * names are those every part of the program uses.
 */
#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace obr {

//! Number of cause slots: 0 is "cause not established", 1..18 are named causes.
constexpr int kCauseSlots = 19;
constexpr int kMaxCauses = 18;

//! The texts of one failure line, held once for all the lines that carry the same text.
struct CauseText {
    QString Pri;       //!< cause text when some cause name matched, else empty
    QString komment;   //!< comment after the first "*" of the cause text
};

/*! \brief One documented failure (one line of the failure data file). Its texts are kept
 *  beside the records (FailureRecords::text), so that a record is 16 bytes: ten million
 *  failures take 160 MB. */
struct Problems {
    double time = 0;     //!< operating time at the failure, hours
    int32_t chey = 0;    //!< index in the sorted cause table, 0 = not established
    uint32_t text = 0;   //!< 1-based index of the line's texts in its set; 0 = no text
};
static_assert(sizeof(Problems) == 16, "a failure record is held millions of times");

/*! \brief The failure records of a data set and their texts. A built set is never written:
 *  copies share it (a copy of the State costs a reference count, not the records) and any
 *  number of threads may read their copies at once. A new set replaces an old one by
 *  assignment. */
class FailureRecords {
public:
    FailureRecords() = default;
    //! Records whose Problems::text index \a texts (1-based; an index past the end reads as
    //! no text).
    FailureRecords(std::vector<Problems> records, std::vector<CauseText> texts = {},
                   std::vector<int32_t> lines = {})
        : m_d(std::make_shared<const Data>(
              Data{std::move(records), std::move(texts), std::move(lines)}))
    {
    }
    FailureRecords(std::initializer_list<Problems> records)
        : FailureRecords(std::vector<Problems>(records))
    {
    }

    size_t size() const { return m_d ? m_d->records.size() : 0; }
    bool empty() const { return size() == 0; }
    const Problems &operator[](size_t i) const { return m_d->records[i]; }
    const Problems *data() const { return m_d ? m_d->records.data() : nullptr; }
    const Problems *begin() const { return data(); }
    const Problems *end() const { return data() + size(); }
    const Problems &front() const { return m_d->records.front(); }
    const Problems &back() const { return m_d->records.back(); }

    //! The texts of record \a i (empty texts for a record that carries none).
    const CauseText &text(size_t i) const
    {
        static const CauseText none;
        const uint32_t k = (*this)[i].text;
        return k == 0 || k > m_d->texts.size() ? none : m_d->texts[k - 1];
    }
    //! The line of record \a i in its data file; 0 when the records came from no file.
    int line(size_t i) const { return i < m_d->lines.size() ? m_d->lines[i] : 0; }
    const QString &Pri(size_t i) const { return text(i).Pri; }
    const QString &komment(size_t i) const { return text(i).komment; }

    void clear() { m_d.reset(); }

private:
    struct Data {
        std::vector<Problems> records;
        std::vector<CauseText> texts;
        std::vector<int32_t> lines;   //!< the file line of each record, when known
    };
    std::shared_ptr<const Data> m_d;
};

//! One interval of the failure histogram.
struct Hist_Rec {
    double time = 0;                          //!< upper bound of the interval, hours
    std::array<int32_t, kCauseSlots> Npr{};   //!< failures per cause 1..18; [0] unused
    int32_t Nund = 0;                         //!< failures of unknown cause
    int32_t Sum = 0;                          //!< all failures in the interval
};

//! One failure cause.
struct Vid_otkaza {
    QString Nazv_Prich;   //!< cause name, trimmed
    double Dolya = 0;     //!< number of failure lines that matched this cause
};

//! One fitted censored Weibull model F(t) = 1 - exp(-A t^B) and its statistics.
struct Mod_Weib {
    double A = 0;
    double B = 0;
    double Kol_Nakopl = 0;
    double SKO = 0;
    double Sred = 0;
    double K_powtor = 0;
    double SKO_out = 0;
    double Unsens = 0;
    double KolmCrt = 0;
    std::vector<double> Kol_F_priv;
    std::vector<double> F_Weib;
    std::vector<double> F_norm;
    bool Executed = false;
    //! State::dataSet of the failure data the model was fitted to: a model is shown and
    //! exported only beside those data.
    uint64_t dataSet = 0;
    //! Keys of the figures the data leave undetermined ("K", "inv_A", "t_0.5", ...): set by
    //! the maximum-likelihood fit, empty for the other models.
    std::vector<QString> undetermined;
    //! The maximum-likelihood fit used the warranty-times file's law, not Sred and SKO.
    bool empiricalLaw = false;
};

//! Constant search ranges of the genetic optimiser: row 0 lower end, row 1 width.
constexpr std::array<std::array<double, 5>, 2> Alim{
    {{1e-05, 1e-05, 0.1, 80, 30}, {5, 5, 5, 500, 100}}};

//! The process-wide working state. Everything starts empty, zero or false.
struct State {
    // Loaded failure data
    FailureRecords MasProbl;   //!< shared by copies of the state, never written in place
    std::array<Vid_otkaza, kCauseSlots> B_otk{};
    std::array<Vid_otkaza, kCauseSlots> Vidy_otkazov{};
    QString Comment;
    QString Path;
    QString loadedFile;   //!< the failure data file whose data are loaded; empty before a load
    //! Counts the failure data sets loaded; a model carries the count of its data.
    uint64_t dataSet = 0;
    bool uk = false;
    int32_t Kol_Izd_All = 0;
    int32_t KolOtk = 0;
    int32_t Kol_izw = 0;
    double Popravka_Unknow = 0;
    double Izd_Prived = 0;
    double Sred = 0;
    double SKO = 0;
    double tGar = 0;
    double Otk_Izd = 0;
    double T90expl = 0, T80expl = 0, T20expl = 0, T10expl = 0;
    double T50expl = 0;
    double t50zen = 0;
    std::vector<double> MasTGarant;

    // Calculation state
    std::vector<Hist_Rec> Hist_Arr;
    int32_t D_Hist1 = 0;
    int32_t D_Hist2 = 0;
    std::array<double, kCauseSlots> Sum_PrichRow{};
    std::array<double, kCauseSlots> Sum_PrichCol{};
    double SumNund = 0;
    Mod_Weib MPirsS;
    Mod_Weib MPirsN;
    Mod_Weib MSmirn;
    Mod_Weib MGenet;
    Mod_Weib MMaxPr;   //!< maximum-likelihood model
    std::vector<double> Mas_Out_Like;
    double Kol_Nakopl_Like = 0;
    std::vector<double> F_OutGar;
    double Pot08 = 0;
    bool Sred_Opt = false;
    bool SKO_Opt = false;

    // Genetic optimiser state (ranges in Alim above)
    std::array<double, 5> Ao{};
    std::array<double, 5> Aopt{};
    std::array<double, 5> NormA{};
    double Precision = 0;
    int32_t iop = 0;
};

}   // namespace obr
