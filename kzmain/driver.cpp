// The Run: checks of the chosen action, reading the input, calling the conversion and, for the
// merge and the phone book, the save step.
#include "kzmain/kzmain.h"

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

// A name from the folder listing, in the file system's own form.
template <typename Char> QString entryName(const Char* name, qsizetype size) {
    if constexpr (sizeof(Char) == 1)
        return QFile::decodeName(QByteArray(name, size));
    else
        return QString::fromWCharArray(name, size);
}

// The "*.VCF" entries of the current folder, of every kind, sorted by case-folded name then
// exact name, so that the merge reads them in the same order on every file system.
QStringList vcfEntries() {
    // The standard library's listing: Qt's makes file information for every entry, twice the
    // time on a folder of many thousand cards. A listing error ends the list.
    namespace fs = std::filesystem;
    QStringList all;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path("."), ec), end; !ec && it != end; it.increment(ec)) {
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
template <typename Work> bool TF_Principal::guarded(Work&& work) {
    try {
        work();
        return true;
    } catch (const RunStopped& e) {
        LogError(e);
        m_outcome = RunOutcome::Stopped;
    } catch (const KzError& e) {
        LogError(e);
        m_outcome = RunOutcome::Failed;
    } catch (const std::bad_alloc&) {
        m_win.appendLog(QStringLiteral("-> OutOfMemory Err Not enough memory to finish the run"));
        m_outcome = RunOutcome::Failed;
    } catch (const std::exception& e) {
        m_win.appendLog(QStringLiteral("-> Error Err ") + QString::fromUtf8(e.what()));
        m_outcome = RunOutcome::Failed;
    }
    return false;
}

bool TF_Principal::check(bool ok, quint16 No, MsgKind kind) {
    if (ok)
        return true;
    m_win.messageBox(Mess(Langue, No), kind, MsgButtons::Ok);
    m_outcome = RunOutcome::CheckFailed;
    return false;
}

void TF_Principal::B_goClick() {
    // Runs never interleave: a second press while one is under way does nothing.
    if (m_running)
        return;
    m_running = true;
    m_stopRequested = false;
    m_outcome = RunOutcome::Done;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_running};

    NomFichierEntree = m_win.editText(Ctrl::E_InputFiles);
    NomRepSortie = m_win.editText(Ctrl::E_RepDest);
    NomRepPhotos = m_win.editText(Ctrl::E_RepPhotos);
    NomRepLogos = m_win.editText(Ctrl::E_RepLogos);
    NomRepEntree = m_win.editText(Ctrl::E_RepEntree);

    if (m_win.isChecked(Ctrl::R_MyPhonePhoto))
        RunPhoneBook();
    else if (m_win.isChecked(Ctrl::R_MVCFToSVCF))
        RunMerge();
    else
        RunSingleFile();
}

void TF_Principal::ClearOutputs() {
    m_win.clearCompteur();
    m_win.clearMemo();
    m_win.clearLog();
}

// Reads the input of the contacts, split or phone-book action (`read` does it, letting events
// run between blocks); false when the run was stopped meanwhile. A read error is not caught
// here: it leaves B_goClick for the front end to report, before anything was cleared or written.
bool TF_Principal::ReadInput(const std::function<void()>& read) {
    try {
        read();
        return true;
    } catch (const RunStopped& e) {
        LogError(e);
        m_outcome = RunOutcome::Stopped;
        return false;
    } catch (...) {
        m_outcome = RunOutcome::Failed;
        throw;
    }
}

void TF_Principal::RunSingleFile() {
    if (!check(isFile(NomFichierEntree), 12) || !check(isDir(NomRepSortie), 11) ||
        !check(isDir(NomRepPhotos) || !m_win.isChecked(Ctrl::C_Photo), 10) ||
        !check(isDir(NomRepLogos) || !m_win.isChecked(Ctrl::C_Logos), 21))
        return;

    InputText texte;
    if (!ReadInput([&] { texte.load(NomFichierEntree, progress()); }) || !check(!texte.isEmpty(), 9))
        return;
    ClearOutputs();
    guarded([&] {
        if (m_win.isChecked(Ctrl::R_SVCFToContacts))
            TraitementSVCFToContact(texte);
        else
            TraitementSVCFToMVCF(texte);
    });
}

void TF_Principal::RunPhoneBook() {
    if (!check(isFile(NomFichierEntree), 12))
        return;
    const QString NomRepImageCache = folderPart(NomFichierEntree) + QStringLiteral("ImageCache/");
    if (!isDir(NomRepImageCache))
        QDir().mkdir(NomRepImageCache);
    if (!check(isDir(NomRepImageCache), 22, MsgKind::Information) || !check(isDir(NomRepPhotos), 10) ||
        !check(isDir(NomRepLogos), 21))
        return;

    LineList TSLOut;
    {
        LineList TSLIn;
        if (!ReadInput([&] { TSLIn.LoadFromFile(NomFichierEntree, LineList::LoadForm::Utf8Bytes, progress()); }) ||
            !check(!TSLIn.isEmpty(), 9))
            return;
        ClearOutputs();
        guarded([&] { TraitementMyPhonePhoto(TSLIn, TSLOut, NomRepImageCache); });
    }
    // A partial list is still offered for saving, but not when the window is closing.
    if (!TSLOut.isEmpty() && m_outcome != RunOutcome::Stopped)
        SaveOutput(TSLOut, folderPart(NomFichierEntree), NomFichierEntree,
                   QStringLiteral("DAT (*.DAT)|*.DAT| ALL (*.*) | *.*"), false);
}

void TF_Principal::RunMerge() {
    if (!check(!NomRepEntree.isEmpty() && QDir::setCurrent(NomRepEntree), 17) ||
        !check(isDir(NomRepPhotos) || !m_win.isChecked(Ctrl::C_Photo), 10) ||
        !check(isDir(NomRepLogos) || !m_win.isChecked(Ctrl::C_Logos), 21))
        return;
    const QStringList entries = vcfEntries();
    if (!check(!entries.isEmpty(), 18))
        return;

    LineList TSLOut;
    // The merged text is encoded as it is made, each file's pictures and end line once the file
    // is done (those lines are then let go), so that it is held once, as bytes. The
    // MyPhoneExplorer output pass works on the lines: with it, the list keeps them all.
    const bool parFichier = !m_win.isChecked(Ctrl::C_MyphoneOut);
    QByteArray fusion;
    const bool read = guarded([&] {
        quint64 NoEnr = 0;
        // The next files are read on another thread while this one merges.
        ReadAhead files(entries);
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
            m_win.setCompteur(QString::number(NoEnr));
        }
        const QString done = Mess(Langue, 8);
        m_win.appendMemo(done);
        m_win.appendLog(done);
    });
    if (read)
        SaveOutput(TSLOut, NomRepSortie, NomFichierSortie,
                   QStringLiteral("VCF, DAT (*.VCF, *.DAT)|*.VCF; *.DAT| ALL | *.*"), true,
                   parFichier ? &fusion : nullptr);
}

// Asks for the output file (message 19 before replacing an existing file; No reopens the dialog
// on the declined path) and writes the list (or its encoded text). The old file is replaced
// only once the new one is complete, so a failed write leaves it intact.
void TF_Principal::SaveOutput(LineList& TSLOut, const QString& initialDir, const QString& initialName,
                              const QString& filter, bool merge, const QByteArray* encoded) {
    QString dir = initialDir;
    QString name = initialName;
    QString chosen;
    MsgResult ButtonSelect = MsgResult::No;
    while (ButtonSelect == MsgResult::No) {
        const std::optional<QString> path = m_win.saveDialog(dir, name, filter);
        if (!path) {
            ButtonSelect = MsgResult::Cancel;
        } else if (isFile(*path)) {
            ButtonSelect = m_win.messageBox(Mess(Langue, 19), MsgKind::Warning, MsgButtons::YesNoCancel);
            dir = folderPart(*path);
            name = *path;
        } else {
            ButtonSelect = MsgResult::Yes;
        }
        chosen = path.value_or(QString());
    }
    if (ButtonSelect != MsgResult::Yes) {
        if (m_outcome == RunOutcome::Done)
            m_outcome = RunOutcome::SaveDeclined;
        return;
    }
    NomFichierSortie = chosen;
    guarded([&] {
        if (encoded) {
            WriteFileAtomic(NomFichierSortie, *encoded);
            return;
        }
        if (merge && m_win.isChecked(Ctrl::C_MyphoneOut))
            PostTraitementMyPhone(TSLOut);
        TSLOut.SaveToFile(NomFichierSortie);
    });
}

InputLines::Passes TF_Principal::inputPasses(bool google, bool myPhone) {
    InputLines::Passes passes;
    passes.myPhone = myPhone && m_win.isChecked(Ctrl::C_MyPhoneIn);
    passes.google = google && m_win.isChecked(Ctrl::C_TagLabel);
    passes.xsync = m_win.isChecked(Ctrl::C_TagSync);
    return passes;
}
