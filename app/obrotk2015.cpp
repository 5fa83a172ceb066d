// SPDX-License-Identifier: MIT
#include "app/obrotk2015.h"

#include "app/buttontabs.h"
#include "app/failuregridmodel.h"
#include "app/form1_texts.h"
#include "fit/fits.h"
#include "fit/genetic.h"
#include "fit/genetic_thread.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSlider>
#include <QTableView>
#include <QThread>
#include <QToolButton>

#include <optional>

using namespace obr;

namespace {

//! Shows the busy pointer over the whole application while it lives, also when the
//! action ends with an error.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QString boxCaption(const QLabel *label)
{
    return label ? label->text().trimmed() : QString();
}

//! Reads a whole input file (see readInputFile): empty when there is no such file.
std::optional<QByteArray> readFileBytes(const QString &path)
{
    return readInputFile(path, kMaxInputBytes);
}

} // namespace

TForm1::TForm1(State *state, QWidget *parent)
    : QWidget(parent), m_state(state), m_genControl(std::make_shared<GenControl>())
{
    qRegisterMetaType<obr::GenResult>();
    setupUi();
    connectControls();
    connectGeneticControls();
    FormCreate();
}

TForm1::~TForm1()
{
    stopGeneticRun();
}

void TForm1::setResultWindows(TForm2 *form2, TForm3 *form3)
{
    m_form2 = form2;
    m_form3 = form3;
}

void TForm1::setFileChooser(FileChooser *chooser)
{
    m_chooser = chooser ? chooser : &m_qtChooser;
}

void TForm1::setMessageNotifier(MessageNotifier *notifier)
{
    m_messages = notifier ? notifier : &m_qtMessages;
}

void TForm1::connectControls()
{
    connect(OpenFileStart, &QPushButton::clicked, this, &TForm1::OpenFileStartClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SaveFileBTN, &QPushButton::clicked, this, &TForm1::SaveFileBTNClick);
    connect(bbRaschet, &QPushButton::clicked, this, &TForm1::bbRaschetClick);
    connect(ToolBRunGenOptim, &QPushButton::clicked, this, &TForm1::ToolBRunGenOptimClick);
    connect(StopBtn, &QPushButton::clicked, this, &TForm1::StopBtnClick);
    connect(btnCopyBest, &QPushButton::clicked, this, &TForm1::btnCopyBestClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

QString TForm1::designRoot()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QDir::toNativeSeparators(QDir::homePath() + QLatin1Char('/'));
#endif
}

QString TForm1::fileLocationText(const QString &filePath)
{
#ifdef Q_OS_WIN
    return driveAndName(filePath);
#else
    // The top of the path (the home directory or the root), an ellipsis for the
    // directories between, and the file name.
    const QFileInfo fi(filePath);
    const QString name = fi.fileName();
    const QString dir = QDir::cleanPath(fi.absolutePath());
    const QString home = QDir::cleanPath(QDir::homePath());
    if (dir == home)
        return QStringLiteral("~/") + name;
    if (dir.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~/…/") + name;
    if (dir == QStringLiteral("/"))
        return QStringLiteral("/") + name;
    return QStringLiteral("/…/") + name;
#endif
}

QChar TForm1::decimalSeparator() const
{
    return NumLocale::from(QLocale()).dec;
}

double TForm1::readBox(const QLineEdit *box, const QLabel *label) const
{
    return boxReal(box->text(), decimalSeparator(), boxCaption(label));
}

void TForm1::appendLog(const QString &line)
{
    Memo2->appendPlainText(line);
}

LogSink TForm1::logSink()
{
    return [this](const QString &line) { appendLog(line); };
}

void TForm1::showError(const QString &text)
{
    m_messages->error(this, QApplication::applicationDisplayName(), text);
}

template <class F> void TForm1::guarded(F &&action)
{
    try {
        action();
    } catch (const UserError &e) {
        showError(e.message());
    } catch (const std::bad_alloc &) {
        showError(QStringLiteral("Недостаточно памяти для выполнения действия"));
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate()
{
    // The link file only decides the path box's first text: the dialogs' start.
    if (QFileInfo::exists(form1txt::linkFile))
        FilePath->setText(designRoot());
}

void TForm1::keyPressEvent(QKeyEvent *e)
{
    // Enter that no control took goes to the default button, as in a dialog.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && OpenFileStart->isEnabled()) {
        OpenFileStart->animateClick();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------- loading

QString TForm1::dialogStart() const
{
    if (!m_dialogFile.isEmpty())
        return m_dialogFile;
    // Before any choice in this run: the file of the last run, kept in the link file.
    QFile link(form1txt::linkFile);
    if (link.open(QIODevice::ReadOnly)) {
        const QStringList lines = splitLines(decodeText(link.readAll()));
        if (!lines.isEmpty() && !lines.first().trimmed().isEmpty()
            && QFileInfo::exists(lines.first().trimmed()))
            return lines.first().trimmed();
    }
    return QDir::homePath();
}

QString TForm1::chooseFile(const QString &filter)
{
    const QString chosen = m_chooser->openFile(this, filter, dialogStart());
    if (!chosen.isEmpty())
        m_dialogFile = chosen;
    // After a cancel the shared dialog still holds the last file chosen with either
    // loader; before any choice there is nothing to load.
    return m_dialogFile;
}

void TForm1::writeLinkFile(const QString &path)
{
    // The link file only remembers the last choice: a working directory that cannot
    // be written must not stop the load.
    QSaveFile link(form1txt::linkFile);
    if (link.open(QIODevice::WriteOnly)) {
        link.write(encodeLines({QDir::toNativeSeparators(path)}));
        link.commit();
    }
}

void TForm1::OpenFileStartClick()
{
    guarded([&] {
        if (genRunning())
            return;
        const QString path = chooseFile(form1txt::failureFilter);
        if (path.isEmpty())
            return;
        writeLinkFile(path);
        FilePath->setText(QDir::toNativeSeparators(path));

        const std::optional<QByteArray> bytes = readFileBytes(path);
        if (!bytes) {
            m_state->uk = false;
            m_messages->message(this, txt::fileNotFound);
            return;
        }
        // The reader is all-or-nothing: an error leaves the loaded data as they were.
        const QChar dec = decimalSeparator();
        FailureFile f = readFailureFile(*bytes, dec);
        const LoadBoxTexts boxes = loadBoxTexts(f, dec);
        std::vector<Marker> markers = std::move(f.markers);
        const QStringList warnings = f.warnings;
        applyFailureFile(*m_state, std::move(f));

        Label10->setText(m_state->Comment);
        Label10->setToolTip(m_state->Comment);
        meSred->setText(boxes.meSred);
        meSKO->setText(boxes.meSKO);
        meKolAll->setText(boxes.meKolAll);
        meKolOtk->setText(boxes.meKolOtk);
        LabeledEdit2->setText(boxes.LabeledEdit2);
        Edit1->setText(boxes.Edit1);
        Edit6->setText(boxes.Edit6);
        Edit5->setText(boxes.Edit5);
        Edit2->setText(boxes.Edit2);
        NPokoleny->setText(generationsFor(m_state->KolOtk, NPokoleny->text()));
        setResultsHeading(m_state->Comment);

        m_grid->setRecords(m_state, std::move(markers), dec);
        QHeaderView *h = Mass_List->horizontalHeader();
        const int widths[FailureGridModel::kColumns] = {65, 90, 200, 1000};
        for (int c = 0; c < FailureGridModel::kColumns; ++c)
            h->resizeSection(c, widths[c]);
        Mass_List->scrollToTop();
        for (const QString &w : warnings)
            appendLog(w);
    });
}

void TForm1::SpeedButton1Click()
{
    guarded([&] {
        if (genRunning())
            return;
        const QString path = chooseFile(form1txt::warrantyFilter);
        if (path.isEmpty())
            return;
        Edit4->setText(fileLocationText(path));

        const std::optional<QByteArray> bytes = readFileBytes(path);
        if (!bytes) {
            m_state->uk = false;
            m_messages->message(this, txt::fileNotFound);
            return;
        }
        WarrantyFile w = readWarrantyFile(*bytes);
        const WarrantyTexts t = warrantyTexts(w, path, decimalSeparator());
        m_state->uk = true;
        m_state->Comment = w.Comment;
        m_state->Sred = w.Sred;
        m_state->SKO = w.SKO;
        m_state->MasTGarant = std::move(w.MasTGarant);

        for (const QString &line : w.warnings)
            appendLog(line);
        Label15->setText(t.Label15);
        MaskEdit1->setText(t.MaskEdit1);
        meSred->setText(t.meSred);
        meSKO->setText(t.meSKO);
        MaskEditSrednee->setText(t.MaskEditSrednee);
        MaskEditSKO->setText(t.MaskEditSKO);
    });
}

void TForm1::SaveFileBTNClick()
{
    guarded([&] {
        const QString path = m_chooser->saveFile(this, QDir::homePath());
        if (path.isEmpty())
            return;
        QSaveFile out(path);
        const QByteArray bytes = encodeLines(Memo2->toPlainText().split(QLatin1Char('\n')));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            throw UserError(form1txt::cannotWrite(QDir::toNativeSeparators(path), out.errorString()));
    });
}

// ---------------------------------------------------------------- result windows

void TForm1::hideResults()
{
    if (m_form2)
        m_form2->hide();
}

void TForm1::setResultsHeading(const QString &comment)
{
    if (!m_form2)
        return;
    m_form2->Label10->setText(comment);
}

void TForm1::showDiagrams()
{
    if (m_form2)
        m_form2->Diagrams();
}

// ---------------------------------------------------------------- calculation

bool TForm1::GettingData()
{
    m_state->Path = FilePath->text();
    if (m_state->Path.isEmpty()) {
        m_messages->message(this, txt::noPath);
        return false;
    }
    return m_state->uk;
}

void TForm1::bbRaschetClick()
{
    guarded([&] {
        if (genRunning())
            return;
        hideResults();
        State &s = *m_state;
        const double sred = readBox(meSred, meSredLabel);
        const double sko = readBox(meSKO, meSKOLabel);
        const double tgar = readBox(LabeledEdit2, LabeledEdit2Label);
        checkWarrantyFigures(s.MasProbl, sred, sko, tgar, decimalSeparator());
        s.Sred = sred;
        s.SKO = sko;
        s.tGar = tgar;
        s.MPirsN.Executed = false;
        s.MPirsS.Executed = false;
        s.MSmirn.Executed = false;
        if (!GettingData())
            return;
        // A successful warranty load also sets uk: failures may still be missing.
        if (s.MasProbl.empty()) {
            m_messages->message(this, txt::noFailures);
            return;
        }
        s.SKO_Opt = SKO_Flag->isChecked();
        s.Sred_Opt = Sred_flag->isChecked();

        const BusyCursor busy;
        const QChar dec = decimalSeparator();
        const LogSink log = logSink();
        hist(s);
        // A genetic model of an earlier run is shown again: its curves must follow the
        // histogram just built, which may have other intervals than the one it was fitted on.
        if (s.MGenet.Executed && s.MGenet.F_Weib.size() != s.Hist_Arr.size()) {
            Mod_Weib &g = s.MGenet;
            const double fittedDeviation = g.SKO_out;
            Pirson_ZFGen(s.Hist_Arr, s.Izd_Prived, s.Kol_izw, g, g.A, g.B, g.K_powtor, g.Sred,
                         g.SKO);
            g.SKO_out = fittedDeviation;
        }
        const Criterion criterion = criterionFromIndex(RadioGroup1Items->checkedId());
        if (SpirSpusk->isChecked()) {
            const double k = readStepCoefficient(Edit1->text(), dec, boxCaption(Label5));
            checkStepPasses(FitKind::Spiral, k, boxCaption(Label5), dec);
            SpirSp_Execute(s, k, criterion, log, nullptr, dec);
            Hist_Made(s, s.MPirsS.A, s.MPirsS.B, s.MPirsS.K_powtor, s.Mas_Out_Like,
                      s.Kol_Nakopl_Like, s.MPirsS.SKO_out, log, dec);
        }
        if (BoxNewton->isChecked()) {
            const double k = readStepCoefficient(Edit6->text(), dec, boxCaption(Label17));
            checkStepPasses(FitKind::Newton, k, boxCaption(Label17), dec);
            Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, k, criterion, log, nullptr, dec);
            Hist_Made(s, s.MPirsN.A, s.MPirsN.B, s.MPirsN.K_powtor, s.Mas_Out_Like,
                      s.Kol_Nakopl_Like, s.MPirsN.SKO_out, log, dec);
        }
        if (BoxSmirnow->isChecked()) {
            const double k = readStepCoefficient(Edit5->text(), dec, boxCaption(Label16));
            checkStepPasses(FitKind::Smirnov, k, boxCaption(Label16), dec);
            Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, k, log, nullptr, dec);
            Hist_Made(s, s.MSmirn.A, s.MSmirn.B, s.MSmirn.K_powtor, s.Mas_Out_Like,
                      s.Kol_Nakopl_Like, s.MSmirn.SKO_out, log, dec);
        }
        showDiagrams();
        QApplication::beep();
    });
}

// ---------------------------------------------------------------- nonparametric analysis

void TForm1::Button1Click()
{
    guarded([&] {
        if (genRunning())
            return;
        State &s = *m_state;
        const double sred = readBox(meSred, meSredLabel);
        const double sko = readBox(meSKO, meSKOLabel);
        checkWarrantyFigures(s.MasProbl, sred, sko, std::nullopt, decimalSeparator());
        s.Sred = sred;
        s.SKO = sko;
        hist(s);
        if (m_form3)
            m_form3->Histogram_Exp();
    });
}

// ---------------------------------------------------------------- genetic optimiser

bool TForm1::genRunning() const
{
    return m_genRunning;
}

void TForm1::connectGeneticControls()
{
    // The run reads these once per generation: keep them current on every change.
    connect(TrackBar1, &QSlider::valueChanged, this, [this](int v) { m_genControl->trackBar1 = v; });
    connect(TrackBar2, &QSlider::valueChanged, this, [this](int v) { m_genControl->trackBar2 = v; });
    connect(CheckBoxProm, &QCheckBox::toggled, this,
            [this](bool on) { m_genControl->showProgress = on; });
    connect(LabeledEdit1, &QLineEdit::textChanged, this,
            [this](const QString &t) { m_genControl->setCopyCount(parseBoxInt(t)); });
    m_genControl->trackBar1 = TrackBar1->value();
    m_genControl->trackBar2 = TrackBar2->value();
    m_genControl->showProgress = CheckBoxProm->isChecked();
    m_genControl->setCopyCount(parseBoxInt(LabeledEdit1->text()));
}

void TForm1::ToolBRunGenOptimClick()
{
    guarded([&] {
        if (genRunning())
            return;
        hideResults();
        State &s = *m_state;
        const QChar dec = decimalSeparator();
        const GenSettings st =
            validateGenStart(s, Edit2->text(), Edit3->text(), NPokoleny->text(), dec);
        GenInput in = prepareGenRun(s, st, dec, m_genThreads);

        auto *gen = new TGen(std::move(in), m_genControl, this);
        gen->setObjectName(QStringLiteral("Gen"));
        connect(gen, &TGen::logLines, this, [this](const QStringList &lines) {
            for (const QString &l : lines)
                appendLog(l);
        });
        connect(gen, &TGen::trackBar1Moved, TrackBar1, &QSlider::setValue);
        connect(gen, &TGen::trackBar2Moved, TrackBar2, &QSlider::setValue);
        connect(gen, &TGen::generationsText, NPokoleny, &QLineEdit::setText);
        connect(gen, &TGen::progressChanged, ProgressBar2, &QProgressBar::setValue);
        connect(gen, &TGen::resultReady, this, &TForm1::publishGeneticResult);
        // The end notification is in place before the worker can end.
        connect(gen, &QThread::finished, this, &TForm1::ThreadTerminated);
        m_gen = gen;
        m_genRunning = true;
        gen->start();
        ThreadStarted();
    });
}

void TForm1::publishGeneticResult(const obr::GenResult &r)
{
    guarded([&] {
        if (publishGenResult(*m_state, r, logSink(), decimalSeparator()))
            showDiagrams();
    });
}

void TForm1::ThreadStarted()
{
    setRunControlsEnabled(false);
}

void TForm1::ThreadTerminated()
{
    if (m_gen) {
        m_gen->wait();
        m_gen->deleteLater();
        m_gen = nullptr;
    }
    m_genRunning = false;
    setRunControlsEnabled(true);
    emit geneticRunFinished();
}

void TForm1::StopBtnClick()
{
    m_genControl->Stop_Gen = true;
}

void TForm1::btnCopyBestClick()
{
    m_genControl->bCopyBest = true;
}

void TForm1::stopGeneticRun()
{
    if (!m_gen)
        return;
    // The window is going away: what the run still has to report is dropped, and the
    // run ends here rather than through its queued end notification.
    disconnect(m_gen, nullptr, nullptr, nullptr);
    m_genControl->Stop_Gen = true;
    m_gen->wait();
    ThreadTerminated();
}

void TForm1::setRunControlsEnabled(bool enabled)
{
    // Everything that would rebuild or read the run's inputs and results waits for its end.
    const std::initializer_list<QWidget *> commands = {OpenFileStart, SpeedButton1, bbRaschet,
                                                       Button1, ToolBRunGenOptim, Edit3};
    for (QWidget *w : commands)
        w->setEnabled(enabled);
}

void TForm1::closeEvent(QCloseEvent *e)
{
    // Closing during a run stops it after the current generation and waits for it.
    stopGeneticRun();
    QWidget::closeEvent(e);
}
