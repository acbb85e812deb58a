// The Run: checks of the chosen action, reading the input, calling the conversion and, for the
// merge and the phone book, writing the output file chosen before the work.
#include "kzmain/run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <new>

namespace {

// The folder part of a path, with its final separator ("" for a bare name).
QString folderPart(const QString& path) {
    const QString p = QDir::fromNativeSeparators(path);
    return p.left(p.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}
bool isDir(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// Whether two paths name the same existing file.
bool memeFichier(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The options as a run uses them: a picture folder left empty means no pictures of that kind.
// The phone book reads no option box: its folders are used when they are given.
RunOptions dossiersUtilises(RunOptions o) {
    if (o.action == Action::PhoneBook) {
        o.photos = !o.NomRepPhotos.isEmpty();
        o.logos = !o.NomRepLogos.isEmpty();
    } else {
        o.photos = o.photos && !o.NomRepPhotos.isEmpty();
        o.logos = o.logos && !o.NomRepLogos.isEmpty();
    }
    return o;
}

// A name from the folder listing, in the file system's own form.
template <typename Char> QString entryName(const Char* name, qsizetype size) {
    if constexpr (sizeof(Char) == 1)
        return QFile::decodeName(QByteArray(name, size));
    else
        return QString::fromWCharArray(name, size);
}

// The "*.VCF" entries of the folder, of every kind, sorted by case-folded name then exact name,
// so that the merge reads them in the same order on every file system.
QStringList vcfEntries(const QString& folder) {
    // The standard library's listing: Qt's makes file information for every entry, twice the
    // time on a folder of many thousand cards. A listing error ends the list.
    namespace fs = std::filesystem;
    QStringList all;
    std::error_code ec;
    for (fs::directory_iterator it(NativePath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path::string_type& path = it->path().native();
        const auto* name = path.data() + path.find_last_of(fs::path::preferred_separator) + 1;
        const qsizetype size = path.data() + path.size() - name;
        // "*.vcf" in any case; only those names are decoded.
        if (size >= 4 && name[size - 4] == '.' && (name[size - 3] | 0x20) == 'v' && (name[size - 2] | 0x20) == 'c' &&
            (name[size - 1] | 0x20) == 'f')
            all.append(entryName(name, size));
    }
    struct Entry {
        QString folded, name;
    };
    QList<Entry> found;
    found.reserve(all.size());
    for (const QString& name : all)
        found.append({name.toCaseFolded(), name});
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        if (a.folded != b.folded)
            return a.folded < b.folded;
        return a.name < b.name;
    });
    QStringList names;
    names.reserve(found.size());
    for (const Entry& e : found)
        names.append(e.name);
    return names;
}

} // namespace

// Runs one step of the work and turns what it throws into one error line; false when it threw.
// A stop request ends the run with its own line; memory exhaustion and other exceptions are
// reported as generic errors so that the window goes on.
template <typename Work> bool Run::guarded(Work&& work) {
    try {
        work();
        return true;
    } catch (const RunStopped& e) {
        LogStop(e);
    } catch (const KzError& e) {
        LogError(e);
        m_report.outcome = RunReport::Outcome::Error;
    } catch (const std::bad_alloc&) {
        LogError(OutOfMemory(Msg::NotEnoughMemory));
        m_report.outcome = RunReport::Outcome::Error;
    } catch (const std::exception& e) {
        LogError(GenericError(QString::fromUtf8(e.what())));
        m_report.outcome = RunReport::Outcome::Error;
    }
    return false;
}

bool Run::check(bool ok, Msg msg, RunReport::Field field, MsgKind kind) {
    return check(ok, Mess(O.language, msg), field, kind);
}

bool Run::check(bool ok, const QString& message, RunReport::Field field, MsgKind kind) {
    if (ok)
        return true;
    m_report.outcome = RunReport::Outcome::CheckFailed;
    m_report.checkField = field;
    m_report.checkMessage = message;
    m_report.checkKind = kind;
    return false;
}

// A stop is no error: one line says so, and the run's report says it stopped.
void Run::LogStop(const RunStopped& e) {
    m_win.appendLog(QStringLiteral("--> ") + e.message(O.language));
    m_report.outcome = RunReport::Outcome::Stopped;
}

// The output folder of the contacts and split actions: a folder (a file there says so) in
// which a new file can be made.
bool Run::checkRepSortie() {
    using F = RunReport::Field;
    if (!check(!isFile(O.NomRepSortie), Mess(O.language, Msg::OutputFolderIsFile).arg(O.NomRepSortie),
               F::OutputFolder) ||
        !check(isDir(O.NomRepSortie), Msg::OutputFolderMissing, F::OutputFolder))
        return false;
    const QString refus = NewFileRefusal(O.NomRepSortie);
    return check(refus.isEmpty(), Mess(O.language, Msg::OutputFolderNotWritable).arg(O.NomRepSortie, refus),
                 F::OutputFolder);
}

// A photos or logos folder, when one is used, must exist.
bool Run::checkDossiersImages() {
    using F = RunReport::Field;
    return check(isDir(O.NomRepPhotos) || !O.photos, Msg::PhotosFolderMissing, F::PhotosFolder) &&
           check(isDir(O.NomRepLogos) || !O.logos, Msg::LogosFolderMissing, F::LogosFolder);
}

bool Run::checkNonVide(bool nonVide) {
    return check(nonVide, Mess(O.language, Msg::EmptyFileNamed).arg(O.NomFichierEntree), RunReport::Field::InputFile);
}

// Starts the work: the outputs emptied, then a notice for each kind of picture that no folder
// provides although it was asked for.
void Run::debutTravail() {
    ClearOutputs();
    if (m_sansPhotos)
        m_win.appendLog(Mess(O.language, Msg::NoPhotosFolder));
    if (m_sansLogos)
        m_win.appendLog(Mess(O.language, Msg::NoLogosFolder));
}

QString Run::compte(qint64 n, Msg one, Msg many) const {
    return Compte(O.language, n, one, many);
}

void Run::montrerCompteur(qint64 cartes) {
    m_win.setCompteur(compte(cartes, Msg::Contact, Msg::Contacts));
}

void Run::montrerCompteur(qint64 cartes, qint64 images) {
    m_win.setCompteur(compte(cartes, Msg::Contact, Msg::Contacts) + QStringLiteral(", ") +
                      compte(images, Msg::Photo, Msg::Photos));
}

// The window is told of the share done about every two hundredth of the input.
void Run::debutAvancement(qint64 total) {
    m_total = qMax<qint64>(total, 1);
    m_win.setProgress(0, m_total);
    m_prochainAvancement = qMax<qint64>(1, m_total / 200);
}

void Run::avancement(qint64 fait) {
    m_win.setProgress(qMin(fait, m_total), m_total);
    m_prochainAvancement = fait + qMax<qint64>(1, m_total / 200);
}

void Run::finAvancement() {
    if (m_total > 0 && m_report.outcome == RunReport::Outcome::Done)
        m_win.setProgress(m_total, m_total);
    m_prochainAvancement = std::numeric_limits<qint64>::max();
}

void Run::arret() {
    throw RunStopped(m_stopClosing ? Msg::StoppedWindowClosing : Msg::StoppedByUser);
}

Run::Run(const RunOptions& options, RunSink& sink)
    : O(dossiersUtilises(options)), m_shown(sink), m_win(m_shown),
      m_ids(options.seed.value_or(ElementIds::clockSeed())), m_photos(options.NomRepPhotos),
      m_logos(options.NomRepLogos) {
    const bool phoneBook = O.action == Action::PhoneBook;
    m_sansPhotos = (options.photos || phoneBook) && options.NomRepPhotos.isEmpty();
    // The phone book looks for logos in the photos folder too.
    m_sansLogos = (options.logos || phoneBook) && options.NomRepLogos.isEmpty() && !(phoneBook && O.photos);
}

QString Compte(Language language, qint64 n, Msg one, Msg many) {
    // French takes the singular for 0 and 1.
    const bool singular = language == Language::French ? n <= 1 : n == 1;
    return Mess(language, singular ? one : many).arg(n);
}

bool Run::checkFields() {
    if (m_checked)
        return m_checksPassed;
    m_checked = true;
    switch (O.action) {
    case Action::PhoneBook:
        m_checksPassed = checkPhoneBook();
        break;
    case Action::Merge:
        m_checksPassed = checkMerge();
        break;
    case Action::Contacts:
    case Action::Split:
        m_checksPassed = checkSingleFile();
        break;
    }
    return m_checksPassed;
}

bool Run::checkOutputFile() {
    if (O.outputFile.isEmpty()) {
        m_report.outcome = RunReport::Outcome::SaveDeclined;
        return false;
    }
    // An existing file is replaced only when the front end said so (the window's question, the
    // command line's --force). A folder there is no file: writing it is the error.
    return check(O.overwrite || !isFile(O.outputFile), Msg::Overwrite, RunReport::Field::None);
}

RunReport Run::exec() {
    if (!checkFields() || (writesOutputFile() && !checkOutputFile()))
        return m_report;
    if (writesOutputFile())
        m_report.savedFile = O.outputFile;
    switch (O.action) {
    case Action::PhoneBook:
        RunPhoneBook();
        break;
    case Action::Merge:
        RunMerge();
        break;
    case Action::Contacts:
    case Action::Split:
        RunSingleFile();
        break;
    }
    return m_report;
}

void Run::ClearOutputs() {
    m_win.clearCompteur();
    m_win.clearMemo();
    m_win.clearLog();
}

// Reads the input of the contacts, split or phone-book action (`read` does it, looking at the stop
// token between blocks); false when the run was stopped meanwhile. A read error is not caught
// here: it leaves exec() for the front end to report, before anything was cleared or written.
bool Run::ReadInput(const std::function<void()>& read) {
    try {
        read();
        return true;
    } catch (const RunStopped& e) {
        LogStop(e);
        return false;
    } catch (...) {
        m_report.outcome = RunReport::Outcome::Error;
        throw;
    }
}

bool Run::checkSingleFile() {
    return check(isFile(O.NomFichierEntree), Msg::InputFileMissing, RunReport::Field::InputFile) && checkRepSortie() &&
           checkDossiersImages();
}

void Run::RunSingleFile() {
    InputText texte;
    if (!ReadInput([&] { texte.load(O.NomFichierEntree, progress(), {O.files}); }) || !checkNonVide(!texte.isEmpty()))
        return;
    debutTravail();
    RemoveLeftoverTemporaries(O.NomRepSortie);
    if (m_win.showsProgress())
        debutAvancement(texte.lineCountEstimate());
    guarded([&] {
        if (O.action == Action::Contacts)
            TraitementSVCFToContact(texte);
        else
            TraitementSVCFToMVCF(texte);
    });
    finAvancement();
}

// The output file is chosen after these checks, before anything is read or written: a cancel
// leaves no trace.
bool Run::checkPhoneBook() {
    return check(isFile(O.NomFichierEntree), Msg::InputFileMissing, RunReport::Field::InputFile) &&
           checkDossiersImages();
}

void Run::RunPhoneBook() {
    const QString* sortie = &O.outputFile;
    const QString NomRepImageCache = folderPart(O.NomFichierEntree) + QStringLiteral("ImageCache/");
    if (!isDir(NomRepImageCache))
        QDir().mkdir(NomRepImageCache);
    if (!check(isDir(NomRepImageCache), Msg::CannotCreateImageCache, RunReport::Field::InputFile, MsgKind::Information))
        return;

    LineList TSLOut;
    {
        LineList TSLIn;
        if (!ReadInput([&] { TSLIn.LoadFromFile(O.NomFichierEntree, LineList::LoadForm::Utf8Bytes, progress(), O.files); }) ||
            !checkNonVide(!TSLIn.isEmpty()))
            return;
        debutTravail();
        RemoveLeftoverTemporaries(NomRepImageCache);
        if (m_win.showsProgress())
            debutAvancement(TSLIn.size());
        guarded([&] { TraitementMyPhonePhoto(TSLIn, TSLOut, NomRepImageCache); });
        finAvancement();
    }
    // A stopped run writes no list. A list cut short by an error is still written, but never
    // over the phone book it was read from: that would lose the cards not reached.
    if (TSLOut.isEmpty() || m_report.outcome == RunReport::Outcome::Stopped)
        return;
    if (m_report.outcome == RunReport::Outcome::Error && memeFichier(*sortie, O.NomFichierEntree)) {
        m_win.appendLog(Mess(O.language, Msg::PhoneBookKept).arg(*sortie));
        return;
    }
    WriteOutput(TSLOut, *sortie, false);
}

// A folder that can be listed, holding VCF files; the process's current folder stays where it is.
// The output file is chosen after these checks, before any file is read.
bool Run::checkMerge() {
    using F = RunReport::Field;
    if (!check(isDir(O.NomRepEntree) && QDir(O.NomRepEntree).isReadable(), Msg::InputFolderMissing, F::InputFolder) ||
        !checkDossiersImages())
        return false;
    m_entries = vcfEntries(O.NomRepEntree);
    return check(!m_entries.isEmpty(), Msg::NoVcfFile, F::InputFolder);
}

void Run::RunMerge() {
    const QString* sortie = &O.outputFile;
    QStringList entries = std::move(m_entries);
    m_entries.clear();
    debutTravail();
    if (m_win.showsProgress())
        debutAvancement(entries.size());
    for (QString& entry : entries)
        entry = JoinPath(O.NomRepEntree, entry);

    LineList TSLOut;
    // The merged text is encoded as it is made, each file's pictures and end line once the file
    // is done (those lines are then let go), so that it is held once, as bytes. The
    // MyPhoneExplorer output pass works on the lines: with it, the list keeps them all.
    const bool parFichier = !O.myPhoneOut;
    QByteArray fusion;
    const bool read = guarded([&] {
        quint64 NoEnr = 0;
        // The next files are read on another thread while this one merges.
        ReadAhead files(entries, Threading::Own, O.files);
        for (qsizetype k = 0; k < entries.size(); ++k) {
            InputText TSLIn = files.next();
            const qsizetype avant = TSLOut.size();
            TraitementMVCFToSVCF(TSLIn, TSLOut, parFichier ? &fusion : nullptr);
            if (parFichier) {
                TSLOut.appendBytes(fusion, avant, TSLOut.size());
                for (qsizetype i = avant; i < TSLOut.size(); ++i)
                    TSLOut[i] = QString();
            }
            ++NoEnr;
            m_report.cards = qint64(NoEnr);
            montrerCompteur(qint64(NoEnr));
            avancer(qint64(NoEnr));
        }
        const QString done = Mess(O.language, Msg::ConversionDone);
        m_win.appendMemo(done);
        m_win.appendLog(done);
    });
    finAvancement();
    if (read)
        WriteOutput(TSLOut, *sortie, true, parFichier ? &fusion : nullptr);
}

// Writes the list (or its encoded text) to the file chosen. The old file is replaced only once
// the new one is complete, so a failed write leaves it intact.
void Run::WriteOutput(LineList& TSLOut, const QString& chosen, bool merge, const QByteArray* encoded) {
    const bool written = guarded([&] {
        if (encoded) {
            WriteFileAtomic(chosen, *encoded, WriteTarget::UserChosen, O.files);
            return;
        }
        if (merge && O.myPhoneOut)
            PostTraitementMyPhone(TSLOut);
        TSLOut.SaveToFile(chosen, O.files);
    });
    if (written)
        ++m_report.filesWritten;
}

InputLines::Passes Run::inputPasses(bool google, bool myPhone) const {
    InputLines::Passes passes;
    passes.myPhone = myPhone && O.myPhoneIn;
    passes.google = google && O.googleLabels;
    passes.xsync = O.dropSync;
    return passes;
}

void Run::LogError(const KzError& e, bool erreur) {
    const QString line = erreur ? QStringLiteral("-> ") + e.kind() + QStringLiteral(" Erreur ") + e.message(O.language)
                                : e.errorLine(O.language);
    m_report.errorLines.append(line);
    m_win.appendLog(line);
}

void Run::EcrirePhoto(const QString& Prefixe, const QByteArray& Sin, LineList& T) {
    EcrirePhotoLignes(Prefixe, Sin, T, QStringLiteral(" "));
}

QDateTime Run::DateCreation() const {
    return O.creationTime ? O.creationTime->toUTC() : QDateTime::currentDateTimeUtc();
}

void Run::finConversion() {
    const QString fin = Mess(O.language, Msg::ConversionDone);
    m_win.appendMemo(fin);
    m_win.appendLog(fin);
}
