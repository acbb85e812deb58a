// Pictures for a MyPhoneExplorer phone book: each contact without a picture in the ImageCache
// folder gets its photo, or its organisation's logo, copied there under "<X-IRMC-LUID>.dat",
// and its card is marked with FLAG:EDITED and X-PHOTOPROPS:1,JPEG.
#include "kzmain/cardscan.h"

#include "kzlex/utf8.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>

namespace {

// The line upper-cased character by character (é becomes É). A line held as the UTF-8 bytes of
// its file is upper-cased in its decoded form and turned back into bytes: upper-casing the bytes
// one by one would change the lead and continuation bytes of its multi-byte characters.
QString MajusculesUnicode(const QString& ligne) {
    bool ascii = true;
    for (QChar c : ligne)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return ligne.toUpper();

    QByteArray bytes;
    if (Cp1252::encodeExact(ligne, &bytes) && Utf8::isValid(bytes)) {
        QString texte = QString::fromUtf8(bytes);
        for (QChar& c : texte)
            c = c.toUpper();
        return Cp1252::decode(texte.toUtf8());
    }
    QString S = ligne;
    for (QChar& c : S) {
        const QChar u = c.toUpper();
        // Keep a letter whose capital the file's code page cannot hold (µ): it would become "?".
        if (Cp1252::byteOf(u.unicode()) >= 0 || Cp1252::byteOf(c.unicode()) < 0)
            c = u;
    }
    return S;
}

// A name that Windows keeps for a device, whatever follows its first dot ("CON", "nul.x", "COM1").
bool NomReserve(QStringView nom) {
    QStringView base = nom.first(nom.indexOf(u'.') < 0 ? nom.size() : nom.indexOf(u'.'));
    while (!base.isEmpty() && base.back() == u' ')
        base.chop(1);
    static const QStringList kNoms = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (kNoms.contains(base, Qt::CaseInsensitive))
        return true;
    return base.size() == 4 &&
           (base.startsWith(u"COM", Qt::CaseInsensitive) || base.startsWith(u"LPT", Qt::CaseInsensitive)) &&
           base.back() >= u'1' && base.back() <= u'9';
}

// Only a plain name may become a file of the image cache: nothing that leaves the folder, no
// control character (C0, DEL, C1), neither in the name as held nor in its UTF-8 reading, and
// nothing that Windows, where the phone manager keeps its cache, refuses in a name.
bool NomSimple(const QString& nom) {
    auto controle = [](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F); };
    auto interdit = [](QChar c) { return QStringView(u"<>:\"|?*").contains(c); };
    return !nom.isEmpty() && !nom.contains(u'/') && !nom.contains(u'\\') && nom != QLatin1String(".") &&
           nom != QLatin1String("..") && std::ranges::none_of(nom, controle) && std::ranges::none_of(nom, interdit) &&
           !NomReserve(nom) && std::ranges::none_of(ReDecodeUtf8(nom), controle);
}

} // namespace

namespace {

// One run over a phone book's lines.
class PhoneBookConversion {
public:
    PhoneBookConversion(Run& run, const LineList& lignes, LineList& sortie, const QString& imageCache)
        : P(run), win(run.sink()), TSLin(lignes), TSLout(sortie), NomRepImageCache(imageCache),
          noms(!lignes.readThroughMark()) {}

    void run() {
        // The report counts the cards and pictures done, also when the run stops on the way.
        const auto compte = qScopeGuard([this] {
            P.counts().cards = qint64(NbVcards);
            P.counts().picturesCopied = qint64(NbPhotos);
        });
        for (; I < TSLin.size(); ++I) {
            P.VerifierArret(I + 1);
            const QString& brute = TSLin.at(I);
            LEX.BUFFER = brute;
            DEBUTANALYSE(LEX);
            if (ETAT == E_HorsCarte) {
                // Lines outside cards do not reach the output.
                if (LigneDebutCarte(LEX))
                    debutCarte();
            } else if (LigneFinCarte(LEX)) {
                finCarte();
            } else {
                traiterLigne(brute);
            }
        }
        // A file without a card is no phone book: say so rather than report a plain success.
        if (NbVcards == 0)
            P.LogError(NoCardError(P.options().NomFichierEntree));
        P.finConversion();
    }

    // The lines that a name line takes as its own.
    bool next(QString& ligne) {
        if (I + 1 >= TSLin.size())
            return false;
        ligne = TSLin.at(++I);
        return true;
    }
    void putBack(QString) { --I; }

private:
    void debutCarte() {
        NomPrenom.clear();
        MonOrganisation.clear();
        NomFichierCourant.clear();
        valeurLuid.clear();
        aLuid = false;
        FlagEdited = false;
        PhotoProp.clear();
        TSLout.append(LEX.BUFFER);
        ++NbVcards;
        ETAT = E_DansCarte;
    }

    // A line inside a card: the edit flag, the picture properties and the picture name are
    // upper-cased; names and organisations are read; every line but X-PHOTOPROPS is kept.
    void traiterLigne(const QString& brute) {
        static const QString kLuid = QStringLiteral("X-IRMC-LUID:");
        if (brute.contains(QLatin1String("FLAG:EDITED"), Qt::CaseInsensitive)) {
            FlagEdited = true;
            TSLout.append(MajusculesUnicode(brute));
        } else if (brute.contains(QLatin1String("X-PHOTOPROPS"), Qt::CaseInsensitive)) {
            // Written just before the card's end line.
            PhotoProp = MajusculesUnicode(brute);
        } else if (brute.contains(kLuid, Qt::CaseInsensitive)) {
            // Nothing is trimmed: blanks at the end of the line stay in the name.
            const QString S_Upper = MajusculesUnicode(brute);
            valeurLuid = S_Upper;
            valeurLuid.remove(kLuid, Qt::CaseInsensitive);
            aLuid = true;
            NomFichierCourant = valeurLuid + QStringLiteral(".dat");
            TSLout.append(S_Upper);
        } else if (LigneNom(LEX)) {
            LireNom(noms.lecture(LEX, *this, LigneNom), NomPrenom);
            if (!NomPrenom.isEmpty())
                win.appendMemo(NomPrenom);
            garderAvecSuites();
        } else if (IDENTPATERN(LEX, u"ORG")) {
            LECTYPE& lu = noms.lecture(LEX, *this, [](LECTYPE& l) { return IDENTPATERN(l, u"ORG"); });
            lu.INDEX = lu.BUFFER.indexOf(u':', 3) + 1;
            MonOrganisation = NettoieNom(IDENTSEP(lu, u';'));
            if (!MonOrganisation.isEmpty())
                win.appendMemo(MonOrganisation);
            garderAvecSuites();
        } else {
            TSLout.append(LEX.BUFFER);
        }
    }

    void garderAvecSuites() {
        TSLout.append(LEX.BUFFER);
        for (const QString& suite : noms.suites())
            TSLout.append(sansBlancsFinaux(suite).toString());
    }

    void finCarte() {
        const bool nomSur = !aLuid || NomSimple(valeurLuid);
        if (!nomSur)
            P.LogError(FileNameError(Msg::LuidNotFileName, ReDecodeUtf8(valeurLuid), NomRepImageCache));
        // A contact's existing picture is never replaced. A link counts as existing even when
        // it leads nowhere: writing through it would put the picture outside the folder.
        const QFileInfo cache(NomRepImageCache + NomFichierCourant);
        if (nomSur && !cache.exists() && !cache.isSymLink())
            copierImage(cache.filePath());
        else if (nomSur && PhotoProp.isEmpty() && cache.isFile() && !cache.isSymLink())
            marquerCopieFaite(cache);
        if (!PhotoProp.isEmpty())
            TSLout.append(PhotoProp);
        TSLout.append(QStringLiteral("END:VCARD"));
        P.montrerCompteur(qint64(NbVcards), qint64(NbPhotos));
        ETAT = E_HorsCarte;
    }

    // The contact's photo, or else its organisation's logo ("logo_" + organisation, in the
    // logos folder, else in the photos folder): the path of the picture file, or the empty text.
    // A folder that was not given is not looked in.
    QString imageChoisie() {
        if (NomFichierCourant.isEmpty())
            return QString();
        const RunOptions& O = P.options();
        QString image;
        if (O.photos && !NomPrenom.isEmpty())
            image = P.photos().find(NomPrenom + QStringLiteral(".jpg"));
        if (image.isEmpty() && !MonOrganisation.isEmpty()) {
            const QString logo = QStringLiteral("logo_") + MonOrganisation + QStringLiteral(".jpg");
            if (O.logos)
                image = P.logos().find(logo);
            if (image.isEmpty() && O.photos)
                image = P.photos().find(logo);
        }
        return image;
    }

    // The card is marked for the picture of the image cache.
    void marquer() {
        if (!FlagEdited)
            TSLout.append(QStringLiteral("FLAG:EDITED"));
        PhotoProp = QStringLiteral("X-PHOTOPROPS:1,JPEG");
    }

    // The picture copied into the image cache.
    void copierImage(const QString& cible) {
        const QString image = imageChoisie();
        if (image.isEmpty())
            return;
        try {
            const FileAccess files = P.options().files;
            WriteFileAtomic(cible, ReadPicture(image, files), WriteTarget::RunNamed, files);
            ++NbPhotos;
            marquer();
        } catch (const KzError& e) {
            P.LogError(e);
        }
    }

    // A card without picture properties whose cache file holds exactly the picture it would
    // get: a run copied it and was stopped before the phone book was saved. The card is marked
    // as that copy would have marked it; nothing is copied. Any other cache file is the
    // contact's own picture, left as it is.
    void marquerCopieFaite(const QFileInfo& cache) {
        const QString image = imageChoisie();
        if (image.isEmpty() || QFileInfo(image).size() != cache.size())
            return;
        try {
            // Sizes are equal, so a picture too large to copy is never read here either.
            const FileAccess files = P.options().files;
            if (ReadPicture(image, files) == ReadWholeFile(cache.filePath(), files))
                marquer();
        } catch (const KzError&) {
            // A picture that cannot be read now marks nothing.
        }
    }

    Run& P;
    LECTYPE LEX; // the lexer record, reused line by line
    RunSink& win;
    const LineList& TSLin;
    LineList& TSLout;
    const QString NomRepImageCache;
    LecteurNoms noms;
    qsizetype I = 0; // the line being read
    TETAT ETAT = E_HorsCarte;
    QString NomPrenom;
    QString MonOrganisation;
    QString NomFichierCourant;
    QString valeurLuid; // the X-IRMC-LUID value, to check before it names a file
    bool aLuid = false;
    bool FlagEdited = false;
    QString PhotoProp;
    quint64 NbVcards = 0;
    quint64 NbPhotos = 0;
};

} // namespace

void Run::TraitementMyPhonePhoto(LineList& TSLin, LineList& TSLout, const QString& NomRepImageCache) {
    PhoneBookConversion(*this, TSLin, TSLout, NomRepImageCache).run();
}
