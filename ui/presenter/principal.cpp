// The main object's Run button: the options made from the controls, the run's checks and the
// output file's questions here, the work on a worker thread, its report kept.
#include "ui/presenter/kzform.h"
#include "ui/presenter/runthread.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The folder part of a path, with its final separator ("" for a bare name).
QString folderPart(const QString& path) {
    const QString p = QDir::fromNativeSeparators(path);
    return p.left(p.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

TF_Principal::TF_Principal(FormWindow& window) : m_win(window) {}

TF_Principal::~TF_Principal() = default;

RunOptions TF_Principal::runOptions() const {
    RunOptions o;
    if (m_win.isChecked(Ctrl::R_MyPhonePhoto))
        o.action = Action::PhoneBook;
    else if (m_win.isChecked(Ctrl::R_MVCFToSVCF))
        o.action = Action::Merge;
    else if (m_win.isChecked(Ctrl::R_SVCFToContacts))
        o.action = Action::Contacts;
    else
        o.action = Action::Split;
    o.NomFichierEntree = NomFichierEntree;
    o.NomRepSortie = NomRepSortie;
    o.NomRepEntree = NomRepEntree;
    o.NomFichierSortie = NomFichierSortie;
    o.NomRepPhotos = NomRepPhotos;
    o.NomRepLogos = NomRepLogos;
    o.photos = m_win.isChecked(Ctrl::C_Photo);
    o.logos = m_win.isChecked(Ctrl::C_Logos);
    o.dropX = m_win.isChecked(Ctrl::C_TagX);
    o.dropSync = m_win.isChecked(Ctrl::C_TagSync);
    o.googleLabels = m_win.isChecked(Ctrl::C_TagLabel);
    o.myPhoneIn = m_win.isChecked(Ctrl::C_MyPhoneIn);
    o.myPhoneOut = m_win.isChecked(Ctrl::C_MyphoneOut);
    o.language = Langue;
    o.seed = seed;
    o.files = files;
    return o;
}

void TF_Principal::B_goClick() {
    // Runs never interleave: a second press while one is under way does nothing.
    if (m_thread)
        return;
    m_ended.reset();
    NomFichierEntree = m_win.editText(Ctrl::E_InputFiles);
    NomRepSortie = m_win.editText(Ctrl::E_RepDest);
    NomRepPhotos = m_win.editText(Ctrl::E_RepPhotos);
    NomRepLogos = m_win.editText(Ctrl::E_RepLogos);
    NomRepEntree = m_win.editText(Ctrl::E_RepEntree);
    m_outputFolder.clear();
    m_stopClosing = false;

    auto ended = [this](const RunReport& report, std::exception_ptr error) { endRun(report, error); };
    std::unique_ptr<Run> run;
    try {
        m_thread = std::make_unique<RunThread>(m_win, ended);
        run = std::make_unique<Run>(runOptions(), m_thread->sink());
        if (!prepareRun(*run)) {
            // A failed check, or no output file chosen.
            RunReport report = run->report();
            if (report.outcome != RunReport::Outcome::CheckFailed)
                report.outcome = RunReport::Outcome::SaveDeclined;
            endRun(report, nullptr);
            return;
        }
    } catch (...) {
        endRun(run ? run->report() : RunReport(), std::current_exception());
        return;
    }
    m_thread->start(std::move(run));
}

bool TF_Principal::prepareRun(Run& run) {
    if (!run.checkFields())
        return false;
    if (!run.writesOutputFile())
        return true;
    const std::optional<std::pair<QString, bool>> output = ChooseOutput(run.options());
    if (!output)
        return false;
    run.setOutput(output->first, output->second);
    return true;
}

std::optional<std::pair<QString, bool>> TF_Principal::ChooseOutput(const RunOptions& o) {
    // The merge proposes its last file in the output folder, the phone book itself.
    const bool merge = o.action == Action::Merge;
    QString dir = merge ? o.NomRepSortie : folderPart(o.NomFichierEntree);
    QString name = merge ? o.NomFichierSortie : o.NomFichierEntree;
    const QString filter = merge ? QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*")
                                 : QStringLiteral("DAT (*.DAT)|*.DAT| ALL (*.*) | *.*");
    const QString suffix = merge ? QStringLiteral("vcf") : QString();
    for (;;) {
        const std::optional<QString> path = m_win.saveDialog(dir, name, filter, suffix);
        if (!path)
            return std::nullopt;
        if (!QFileInfo(*path).isFile())
            return std::make_pair(*path, false);
        switch (m_win.askOverwrite(*path, Mess(Langue, Msg::Overwrite))) {
        case MsgResult::Yes:
            return std::make_pair(*path, true);
        case MsgResult::No:
            dir = folderPart(*path);
            name = *path;
            break;
        default:
            return std::nullopt;
        }
    }
}

// The run has ended (or never started): its report kept, the file chosen in the save step the
// merge's next proposal (and in the settings), a failed check's box shown, the window told.
void TF_Principal::endRun(const RunReport& report, std::exception_ptr error) {
    m_ended = std::move(m_thread);
    m_report = report;
    m_error = error;
    if (!m_report.savedFile.isEmpty())
        NomFichierSortie = m_report.savedFile;
    if (m_report.filesWritten > 0)
        m_outputFolder = m_report.savedFile.isEmpty() ? NomRepSortie : QFileInfo(m_report.savedFile).path();
    if (m_report.outcome == RunReport::Outcome::CheckFailed && !m_stopClosing)
        m_win.messageBox(m_report.checkMessage, m_report.checkKind);
    m_win.runEnded();
}

void TF_Principal::rethrowRunError() {
    if (std::exception_ptr error = std::exchange(m_error, nullptr))
        std::rethrow_exception(error);
}

QString RunSummary(const RunReport& report, Language language) {
    using O = RunReport::Outcome;
    if (report.outcome == O::CheckFailed)
        return QString();
    const qint64 errors = report.errorLines.size();
    const QString written = Compte(language, report.cards, Msg::Contact, Msg::Contacts) + QStringLiteral(", ") +
                            Compte(language, report.filesWritten, Msg::FileWritten, Msg::FilesWritten);
    // A stop is the user's choice, not an error: its line says what was written.
    if (report.outcome == O::Stopped)
        return Mess(language, Msg::SummaryStopped).arg(written);
    const QString counts =
        written + QStringLiteral(", ") +
        (errors == 0 ? Mess(language, Msg::NoErrors) : Compte(language, errors, Msg::Error, Msg::Errors));
    switch (report.outcome) {
    case O::Error:
        return Mess(language, Msg::SummaryError).arg(counts);
    case O::SaveDeclined:
        return Mess(language, Msg::SummaryNotSaved).arg(counts);
    default:
        return counts;
    }
}

void TF_Principal::requestStop(bool closing) {
    if (!m_thread)
        return;
    m_stopClosing = m_stopClosing || closing;
    m_thread->requestStop(closing);
}
