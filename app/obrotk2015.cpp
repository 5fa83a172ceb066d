// SPDX-License-Identifier: MIT
#include "app/obrotk2015.h"

#include "app/buttontabs.h"
#include "app/calcrunner.h"
#include "app/logpump.h"
#include "app/failuregridmodel.h"
#include "app/form1_texts.h"
#include "mleview/mleview.h"
#include "fit/fits.h"
#include "fit/genetic.h"
#include "fit/genetic_thread.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "results/results_texts.h"
#include "stats/stat2018.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
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
#include <QRegularExpression>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QToolButton>

#include <optional>

using namespace obr;

namespace {

QString boxCaption(const QLabel *label) { return label ? label->text().trimmed() : QString(); }

//! Reads a whole input file (see readInputFile): empty when there is no such file.
std::optional<QByteArray> readFileBytes(const QString &path)
{
    return readInputFile(path, kMaxInputBytes);
}

}   // namespace

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
    cancelCalculation();
}

void TForm1::setResultWindows(TForm2 *form2, TForm3 *form3)
{
    m_form2 = form2;
    m_form3 = form3;
}

void TForm1::setFileChooser(FileChooser *chooser) { m_chooser = chooser ? chooser : &m_qtChooser; }

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
    connect(StopCalcBtn, &QPushButton::clicked, this, &TForm1::StopCalcBtnClick);
    connect(btnCopyBest, &QPushButton::clicked, this, &TForm1::btnCopyBestClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    // The kind of bounds is a way of showing the last fit: it switches at once.
    connect(MleKind, &QComboBox::currentIndexChanged, this, [this] { publishMle(); });
    // A new level is computed for the fit shown at once, off this thread.
    connect(MleLevel, &QComboBox::currentIndexChanged, this, [this] { syncMleLevel(); });
    // The law is the fit's input, not a way of showing it: a fit of the other law needs
    // «Расчет», and the bounds window says so.
    connect(MleLaw, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (m_form2 && m_mle)
            m_form2->setMaxPrNotice((i == 1) != (m_mle->law == mle::WarrantyLaw::Empirical)
                                        ? form1txt::mleLawChanged
                                        : QString());
    });
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

QChar TForm1::decimalSeparator() const { return NumLocale::from(QLocale()).dec; }

double TForm1::readBox(const QLineEdit *box, const QLabel *label) const
{
    return boxReal(box->text(), decimalSeparator(), boxCaption(label));
}

void TForm1::appendLog(const QString &line)
{
    // Through the pump, after what the workers queued, so the log keeps its order.
    m_log->push(line);
    m_log->flush();
}

LogSink TForm1::logSink()
{
    return [this](const QString &line) { appendLog(line); };
}

void TForm1::showError(const QString &text)
{
    m_messages->error(this, QApplication::applicationDisplayName(), text);
}

template <class F>
void TForm1::guarded(F &&action)
{
    try {
        action();
    } catch (const std::exception &e) {
        showError(userMessage(e));
    }
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate()
{
    const QChar dec = decimalSeparator();
    for (int i = 0; i < MleLevel->count(); ++i)
        MleLevel->setItemText(i, fmtGeneral(MleLevel->itemData(i).toDouble(), dec));
    updateMleLaw();
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
        if (!lines.isEmpty() && !lines.first().trimmed().isEmpty() &&
            QFileInfo::exists(lines.first().trimmed()))
            return lines.first().trimmed();
    }
    return QDir::homePath();
}

bool TForm1::matchesFilter(const QString &path, const QString &filter)
{
    // The patterns of a Qt name filter stand in parentheses: "Text (gar*.txt *.dat)".
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    const QString patterns =
        open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    const QString name = QFileInfo(path).fileName();
    for (const QString &p : patterns.split(u' ', Qt::SkipEmptyParts)) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(p),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

QString TForm1::chooseFile(const QString &filter)
{
    // The shared dialog offers the last file only where the filter lists it: a data file
    // preselected under the warranty filter would be loaded by a mere Enter.
    QString start = dialogStart();
    if (QFileInfo(start).isFile() && !matchesFilter(start, filter))
        start = QFileInfo(start).absolutePath();
    const QString chosen = m_chooser->openFile(this, filter, start);
    if (!chosen.isEmpty())
        m_dialogFile = chosen;
    // After a cancel the shared dialog still holds the last file chosen with either
    // loader; it is loaded again only when it is of this loader's kind. Before any
    // choice there is nothing to load.
    if (chosen.isEmpty() && !matchesFilter(m_dialogFile, filter))
        return QString();
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

void TForm1::refuseFailureFile(const QString &message, const QString &shownBefore)
{
    if (m_state->MasProbl.empty() || m_state->loadedFile.isEmpty()) {
        FilePath->setText(shownBefore);
        throw UserError(message);
    }
    FilePath->setText(QDir::toNativeSeparators(m_state->loadedFile));
    throw UserError(message + QStringLiteral("\n\n") +
                    form1txt::earlierDataKept(QFileInfo(m_state->loadedFile).fileName()));
}

void TForm1::OpenFileStartClick()
{
    if (genRunning() || calcRunning())
        return;
    const QString path = chooseFile(form1txt::failureFilter);
    if (!path.isEmpty())
        openFailureFile(path);
}

void TForm1::openFailureFile(const QString &path)
{
    guarded([&] {
        if (genRunning() || calcRunning())
            return;
        // A file given on the command line or dropped on the window becomes the dialog's
        // file, as if it had been chosen there.
        m_dialogFile = path;
        writeLinkFile(path);
        const QString shownBefore = FilePath->text();
        FilePath->setText(QDir::toNativeSeparators(path));

        FailureFile f;
        try {
            const std::optional<QByteArray> bytes = readFileBytes(path);
            if (!bytes) {
                m_state->uk = false;
                m_messages->message(this, txt::fileNotFound);
                return;
            }
            // The reader is all-or-nothing: an error leaves the loaded data as they were.
            f = readFailureFile(*bytes, decimalSeparator());
        } catch (const UserError &e) {
            // The path box goes on naming the file whose data are loaded.
            refuseFailureFile(e.message(), shownBefore);
        }
        const QChar dec = decimalSeparator();
        const LoadBoxTexts boxes = loadBoxTexts(f, dec);
        std::vector<Marker> markers = std::move(f.markers);
        const QStringList warnings = f.warnings;
        const QString earlierFile = m_state->loadedFile;
        applyFailureFile(*m_state, std::move(f));
        m_state->loadedFile = path;
        // The models of a calculation keep their flags, but belong to the earlier data.
        ++m_state->dataSet;

        showDataComment(m_state->Comment);
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
        setGridColumnWidths();
        Mass_List->scrollToTop();
        for (const QString &w : warnings)
            appendLog(w);
        dataChanged(earlierFile);
    });
}

void TForm1::SpeedButton1Click()
{
    guarded([&] {
        if (genRunning() || calcRunning())
            return;
        const QString path = chooseFile(form1txt::warrantyFilter);
        if (path.isEmpty())
            return;
        const QString shownBefore = Edit4->text();
        const QString tipBefore = Edit4->toolTip();
        Edit4->setText(fileLocationText(path));
        Edit4->setToolTip(QDir::toNativeSeparators(path));

        WarrantyFile w;
        try {
            const std::optional<QByteArray> bytes = readFileBytes(path);
            if (!bytes) {
                m_state->uk = false;
                m_messages->message(this, txt::fileNotFound);
                return;
            }
            w = readWarrantyFile(*bytes);
        } catch (const UserError &e) {
            // The panel goes on naming the file whose figures the boxes hold.
            Edit4->setText(shownBefore);
            Edit4->setToolTip(tipBefore);
            throw UserError(e.message() + QStringLiteral("\n\n") + form1txt::earlierWarrantyKept);
        }
        const WarrantyTexts t = warrantyTexts(w, path, decimalSeparator());
        const QStringList warnings = w.warnings;
        applyWarrantyFile(*m_state, std::move(w));

        for (const QString &line : warnings)
            appendLog(line);
        showWarrantyComment(t.Label15);
        MaskEdit1->setText(t.MaskEdit1);
        meSred->setText(t.meSred);
        meSKO->setText(t.meSKO);
        MaskEditSrednee->setText(t.MaskEditSrednee);
        MaskEditSKO->setText(t.MaskEditSKO);
        updateMleLaw();
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
            throw UserError(
                form1txt::cannotWrite(QDir::toNativeSeparators(path), out.errorString()));
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

void TForm1::dataChanged(const QString &earlierFile)
{
    // An open results window keeps its figures but says whose they are; the bounds of a
    // fit of the earlier data are not offered any more.
    if (m_form2)
        m_form2->setDataChanged(earlierFile);
    if (m_mle) {
        m_mle.reset();
        m_mleCauses.clear();
        m_mleInput.reset();
        publishMle();
        appendLog(form1txt::mleSetAside);
    }
    // The warranty end times were read for the fleet of the earlier failures.
    if (MleLaw->currentIndex() == 1) {
        MleLaw->setCurrentIndex(0);
        appendLog(form1txt::mleLawReset);
    }
}

void TForm1::showDiagrams()
{
    if (!m_form2)
        return;
    m_form2->Diagrams();
    const std::vector<ModelId> &aside = m_form2->view().setAside;
    if (!aside.empty()) {
        QStringList names;
        for (ModelId id : aside)
            names << modelCaption(id);
        appendLog(rtxt::setAside(names.join(QStringLiteral(", "))));
    }
    for (const QString &w : m_form2->view().implausible)
        appendLog(w);
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

CalcRequest TForm1::calcRequest() const
{
    CalcRequest rq;
    rq.path = FilePath->text();
    rq.meSred = meSred->text();
    rq.meSKO = meSKO->text();
    rq.LabeledEdit2 = LabeledEdit2->text();
    rq.meSredName = boxCaption(meSredLabel);
    rq.meSKOName = boxCaption(meSKOLabel);
    rq.LabeledEdit2Name = boxCaption(LabeledEdit2Label);
    rq.spiral = SpirSpusk->isChecked();
    rq.newton = BoxNewton->isChecked();
    rq.smirnov = BoxSmirnow->isChecked();
    rq.Edit1 = Edit1->text();
    rq.Edit6 = Edit6->text();
    rq.Edit5 = Edit5->text();
    rq.Edit1Name = boxCaption(Label5);
    rq.Edit6Name = boxCaption(Label17);
    rq.Edit5Name = boxCaption(Label16);
    rq.Sred_flag = Sred_flag->isChecked();
    rq.SKO_Flag = SKO_Flag->isChecked();
    rq.criterion = RadioGroup1Items->checkedId();
    rq.dec = decimalSeparator();
    rq.threads = m_genThreads;
    rq.mle = BoxMaxPr->isChecked();
    rq.mleLevel = MleLevel->currentData().toDouble();
    rq.mleEmpirical = MleLaw->currentIndex() == 1 && !m_state->MasTGarant.empty();
    rq.mleLawFile = QDir::toNativeSeparators(Edit4->toolTip());
    return rq;
}

void TForm1::bbRaschetClick()
{
    guarded([&] {
        if (genRunning() || calcRunning())
            return;
        m_resultsWereShown = m_form2 && m_form2->isVisible();
        hideResults();
        // Without failure data there is nothing to calculate: say so before the boxes.
        requireFailureData(*m_state);
        // Boxes that hold no number or impossible figures are refused at once.
        const CalcRequest request = calcRequest();
        readCalcFigures(*m_state, request);
        // The worker runs on a copy of the state; the window keeps showing the data it
        // has until the copy comes back in one step.
        m_calc = new CalcRunner(*m_state, request, m_log, this);
        connect(m_calc, &CalcRunner::stageChanged, this, &TForm1::calcStageChanged);
        connect(m_calc, &CalcRunner::finished, this, &TForm1::finishCalculation,
                Qt::QueuedConnection);
        m_calcMethod = -1;
        setCalcRunning(true);
        m_calc->start();
    });
}

void TForm1::calcStageChanged(int method, int index, int count)
{
    if (!m_calc)
        return;
    m_calcMethod = method;
    CalcProgressBar->setRange(0, count);
    CalcProgressBar->setValue(index);
    // The method's name always; its place in the run where the bar has room for it.
    const QString name = calcMethodName(CalcMethod(method));
    const QString full = form1txt::calcStage(name, index, count);
    const int room = CalcProgressBar->width() - 8;
    CalcProgressBar->setFormat(
        CalcProgressBar->fontMetrics().horizontalAdvance(full) <= room ? full : name);
}

void TForm1::finishCalculation()
{
    if (!m_calc)
        return;
    CalcResult r = m_calc->takeResult();
    delete m_calc;
    m_calc = nullptr;
    m_log->flush();
    setCalcRunning(false);
    guarded([&] {
        if (r.cancelled) {
            // Nothing of the stopped calculation is kept.
            appendLog(form1txt::calcCancelled);
            if (m_resultsWereShown && m_form2)
                m_form2->show();
            return;
        }
        *m_state = std::move(*r.state);
        m_mle = std::move(r.report.mle);
        m_mleCauses = std::move(r.report.mleCauses);
        m_mleInput = std::move(r.report.mleInput);
        publishMle();
        if (r.error) {
            // A refused maximum-likelihood fit, the last step, leaves the models fitted
            // before it: they are shown, then the refusal.
            if (m_calcMethod == int(CalcMethod::Mle) && m_state->MasProbl.size() > 0 &&
                !m_state->Hist_Arr.empty())
                showDiagrams();
            throw UserError(*r.error);
        }
        switch (r.report.outcome) {
        case CalcOutcome::NoPath:
            m_messages->message(this, txt::noPath);
            return;
        case CalcOutcome::NotLoaded:
            return;
        case CalcOutcome::NoFailures:
            m_messages->message(this, txt::noFailures);
            return;
        case CalcOutcome::Done:
            break;
        }
        showDiagrams();
        QApplication::beep();
    });
    // A level chosen while the calculation ran applies to its fit now.
    syncMleLevel();
    emit calculationFinished();
}

void TForm1::StopCalcBtnClick()
{
    if (m_calc)
        m_calc->cancel();
    if (m_mleRun)
        m_mleRun->cancel();
}

void TForm1::cancelCalculation()
{
    if (m_mleRun) {
        disconnect(m_mleRun, nullptr, this, nullptr);
        delete m_mleRun;   // stops and waits for its thread
        m_mleRun = nullptr;
        setCalcRunning(false);
    }
    if (!m_calc)
        return;
    // The window is going away: the run is stopped and its work dropped.
    disconnect(m_calc, nullptr, this, nullptr);
    m_calc->cancel();
    delete m_calc;
    m_calc = nullptr;
    setCalcRunning(false);
}

void TForm1::waitForCalculation()
{
    while (m_calc || m_mleRun)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

void TForm1::setCalcRunning(bool running)
{
    CalcProgressBar->setRange(0, 1);
    CalcProgressBar->setValue(0);
    CalcProgressBar->setFormat(form1txt::calcPreparing);
    CalcProgressBar->setVisible(running);
    StopCalcBtn->setVisible(running);
    bbRaschet->setVisible(!running);
    // The busy pointer over the window; the stop button keeps the normal one.
    if (running)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    StopCalcBtn->setCursor(Qt::ArrowCursor);
    updateCommands();
}

// ---------------------------------------------------------------- nonparametric analysis

void TForm1::Button1Click()
{
    guarded([&] {
        if (genRunning() || calcRunning())
            return;
        State &s = *m_state;
        requireFailureData(s);
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

bool TForm1::genRunning() const { return m_genRunning; }

void TForm1::connectGeneticControls()
{
    // The run reads these once per generation: keep them current on every change.
    connect(TrackBar1, &QSlider::valueChanged, this,
            [this](int v) { m_genControl->trackBar1 = v; });
    connect(TrackBar2, &QSlider::valueChanged, this,
            [this](int v) { m_genControl->trackBar2 = v; });
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
        if (genRunning() || calcRunning())
            return;
        hideResults();
        State &s = *m_state;
        const QChar dec = decimalSeparator();
        const GenSettings st =
            validateGenStart(s, Edit2->text(), Edit3->text(), NPokoleny->text(), dec);
        GenInput in = prepareGenRun(s, st, dec, m_genThreads);

        auto *gen = new TGen(std::move(in), m_genControl, this);
        gen->setObjectName(QStringLiteral("Gen"));
        // The lines are only queued here; the pump shows them in batches.
        connect(gen, &TGen::logLines, this,
                [this](const QStringList &lines) { m_log->push(lines); });
        // The run has already stored the positions it reports: showing them must not
        // write them back as the user's choice, which could overwrite a newer one.
        auto showPosition = [](QSlider *bar) {
            return [bar](int position) {
                const QSignalBlocker block(bar);
                bar->setValue(position);
            };
        };
        connect(gen, &TGen::trackBar1Moved, TrackBar1, showPosition(TrackBar1));
        connect(gen, &TGen::trackBar2Moved, TrackBar2, showPosition(TrackBar2));
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
    m_log->flush();
    guarded([&] {
        if (publishGenResult(*m_state, r, logSink(), decimalSeparator())) {
            // Loads wait for the run's end: the data are those the run started from.
            m_state->MGenet.dataSet = m_state->dataSet;
            showDiagrams();
        }
    });
}

void TForm1::ThreadStarted() { updateCommands(); }

void TForm1::ThreadTerminated()
{
    if (m_gen) {
        m_gen->wait();
        m_gen->deleteLater();
        m_gen = nullptr;
    }
    m_genRunning = false;
    m_log->flush();
    updateCommands();
    emit geneticRunFinished();
}

void TForm1::StopBtnClick() { m_genControl->Stop_Gen = true; }

void TForm1::btnCopyBestClick() { m_genControl->bCopyBest = true; }

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

bool TForm1::mleLrBounds() const { return MleKind->currentIndex() != 1; }

void TForm1::updateMleLaw()
{
    // The empirical law needs the loaded warranty end times.
    const bool file = !m_state->MasTGarant.empty();
    auto *model = qobject_cast<QStandardItemModel *>(MleLaw->model());
    if (QStandardItem *item = model ? model->item(1) : nullptr)
        item->setEnabled(file);
    if (!file)
        MleLaw->setCurrentIndex(0);
    MleLaw->setToolTip(file ? form1txt::MleLawHint : form1txt::MleLawHintNoFile);
}

void TForm1::publishMle()
{
    if (m_form2)
        m_form2->setMaxPr(m_mle ? &*m_mle : nullptr, m_mleCauses, mleLrBounds());
}

double TForm1::mleLevel() const { return MleLevel->currentData().toDouble(); }

void TForm1::syncMleLevel()
{
    // One run at a time: its end checks the level again. A calculation applies the level
    // it read when it ends.
    if (m_calc || m_mleRun || !m_mle || !m_mleInput || m_mle->level == mleLevel())
        return;
    m_mleRun = new MleBoundsRunner(*m_mleInput, mleLevel(), this);
    connect(m_mleRun, &MleBoundsRunner::finished, this, &TForm1::finishMleBounds,
            Qt::QueuedConnection);
    setCalcRunning(true);
    const QString level = mleview::fmtLevel(mleLevel(), decimalSeparator());
    CalcProgressBar->setFormat(form1txt::mleBoundsStage(level));
    if (m_form2)
        m_form2->setMaxPrPending(level);
    m_mleRun->start();
}

void TForm1::finishMleBounds()
{
    if (!m_mleRun)
        return;
    MleBoundsResult r = m_mleRun->takeResult();
    delete m_mleRun;
    m_mleRun = nullptr;
    setCalcRunning(false);
    guarded([&] {
        if (r.step && !r.cancelled) {
            m_mle = std::move(r.step->fit);
            m_mleCauses = std::move(r.step->causes);
            publishMle();
            return;
        }
        // Stopped or refused: the choice goes back to the level of the bounds shown.
        if (m_mle) {
            const QSignalBlocker block(MleLevel);
            const int i = MleLevel->findData(m_mle->level);
            if (i >= 0)
                MleLevel->setCurrentIndex(i);
        }
        publishMle();
        if (r.error)
            throw UserError(*r.error);
    });
    syncMleLevel();
}

void TForm1::updateCommands()
{
    // Everything that would rebuild or read the inputs and results of a running
    // calculation or genetic run waits for its end.
    const bool idle = !genRunning() && !calcRunning();
    const std::initializer_list<QWidget *> commands = {OpenFileStart, SpeedButton1, bbRaschet,
                                                       Button1, ToolBRunGenOptim};
    for (QWidget *w : commands)
        w->setEnabled(idle);
    Edit3->setEnabled(!genRunning());
}

void TForm1::closeEvent(QCloseEvent *e)
{
    // Closing during a run stops it after the current generation and waits for it; a
    // calculation is stopped between two passes and its work dropped.
    stopGeneticRun();
    cancelCalculation();
    QWidget::closeEvent(e);
}
