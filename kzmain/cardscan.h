#pragma once
// What the split, the merge and the phone book share: the card-scanning state, the tests for a
// card's first and last lines, the name line, the counter figures and the picture look-ups.
// Private to split.cpp, merge.cpp and phonebook.cpp.
#include "kzlex/propertyline.h"
#include "kzmain/run.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <initializer_list>
#include <string_view>

// Card-scanning state.
enum TETAT : quint8 {
    E_HorsCarte, // outside a card: waiting for BEGIN:VCARD
    E_DansCarte, // inside a card: waiting for END:VCARD
};

inline bool LigneDebutCarte(LECTYPE& LEX) {
    return IDENTPATERN(LEX, u"BEGIN") && SEPARATEUR(LEX, u":") && IDENTPATERN(LEX, u"VCARD");
}

inline bool LigneFinCarte(LECTYPE& LEX) {
    return IDENTPATERN(LEX, u"END") && SEPARATEUR(LEX, u":") && IDENTPATERN(LEX, u"VCARD");
}

// "N;...:" or "N:".
inline bool LigneNom(LECTYPE& LEX) {
    return IDENTPATERN(LEX, u"N") && (SEPARATEUR(LEX, u";") || SEPARATEUR(LEX, u":"));
}

// After LigneNom: "family given" from the value, cleaned for file names. False when the line
// has no colon (the name is then left as it was).
inline bool LireNom(LECTYPE& LEX, QString& NomPrenom) {
    // Only INDEX moves: the next read steps over the colon itself.
    LEX.INDEX = LEX.BUFFER.indexOf(u':') + 1;
    if (LEX.INDEX <= 0)
        return false;
    const QString nom = IDENTSEP(LEX, u';');
    const QString prenom = IDENTSEP(LEX, u';');
    NomPrenom = NettoieNom(nom + u' ' + prenom);
    return true;
}

// Reads the names of real exports: a quoted-printable name or organisation line goes on after
// its soft line breaks (or, once the MyPhoneExplorer pass has made them so, its folded lines),
// and its value, like that of a line with a CHARSET, is read decoded. The card itself is copied
// unchanged: the lines that continue the name line are handed back for that.
class LecteurNoms {
public:
    explicit LecteurNoms(bool charsets) : m_valeurs(charsets) {}

    // LEX holds the N or ORG line that `reconnaitre` (LigneNom, say) has just recognised; the
    // lines after it come from `source` (`bool next(QString&)`, `void putBack(QString)`). Returns
    // the record to read the name from: LEX itself, or a record over the joined, decoded line
    // where `reconnaitre` has recognised it again.
    template <typename Source, typename Reconnaitre>
    LECTYPE& lecture(LECTYPE& LEX, Source& source, Reconnaitre reconnaitre) {
        m_suites.clear();
        m_lu.BUFFER = LEX.BUFFER;
        if (PropertyLine::isQuotedPrintable(m_lu.BUFFER)) {
            QString suite;
            while (source.next(suite)) {
                if (PropertyLine::joinsSoftly(m_lu.BUFFER, suite)) {
                    PropertyLine::dropSoftBreak(m_lu.BUFFER);
                    m_lu.BUFFER += suite;
                } else if (suite.startsWith(u' ')) {
                    m_lu.BUFFER += QStringView(suite).sliced(1);
                } else {
                    source.putBack(std::move(suite));
                    break;
                }
                m_suites.append(std::move(suite));
                suite = QString();
            }
        }
        // A quoted-printable value is always decoded; a plain one only in a known CHARSET.
        if (!m_valeurs.decode(m_lu.BUFFER))
            return LEX;
        DEBUTANALYSE(m_lu);
        reconnaitre(m_lu);
        return m_lu;
    }
    // Any other line of a card: when it is quoted-printable and ends in a soft line break, takes
    // the lines that its soft line breaks join to it from `source`, so that they are kept or
    // dropped with it and never read as properties of their own.
    template <typename Source> void suitesDouces(const QString& ligne, Source& source) {
        m_suites.clear();
        if (!PropertyLine::endsInSoftBreak(ligne))
            return;
        QString jointe = ligne;
        QString suite;
        while (PropertyLine::endsInSoftBreak(jointe) && source.next(suite)) {
            if (!PropertyLine::joinsSoftly(jointe, suite)) {
                source.putBack(std::move(suite));
                break;
            }
            PropertyLine::dropSoftBreak(jointe);
            jointe += suite;
            m_suites.append(std::exchange(suite, QString()));
        }
    }
    // The input lines that the last line took as its own, as read.
    const QStringList& suites() const { return m_suites; }

private:
    ValueDecoder m_valeurs;
    LECTYPE m_lu;
    QStringList m_suites;
};

// The line without the blanks and controls that the lexer trims from its end.
inline QByteArrayView sansBlancsFinaux(QByteArrayView ligne) {
    qsizetype n = ligne.size();
    while (n > 0 && uchar(ligne[n - 1]) <= 0x20)
        --n;
    return ligne.first(n);
}
inline QStringView sansBlancsFinaux(QStringView ligne) {
    qsizetype n = ligne.size();
    while (n > 0 && ligne[n - 1].unicode() <= 0x20)
        --n;
    return ligne.first(n);
}

// Whether the line's first identifier, as IDENTPATERN reads it, is one of `mots` (upper case):
// after the blanks and tabs it skips, a letter or "_", then letters, digits and "_", any case. A
// line whose first identifier is none of the keywords that a conversion looks at is not one of
// their lines. One byte is one character of the decoded line; a byte from 0x80 on decodes to a
// letter that no ASCII keyword holds (none of those letters upper-cases to ASCII).
inline bool premierMotParmi(QByteArrayView ligne, std::initializer_list<std::string_view> mots) {
    const qsizetype n = ligne.size();
    qsizetype i = 0;
    while (i < n && (ligne[i] == ' ' || ligne[i] == '\t'))
        ++i;
    auto lettre = [](uchar c) { return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_'; };
    const qsizetype debut = i;
    if (i >= n || !lettre(uchar(ligne[i])))
        return false;
    while (i < n && (lettre(uchar(ligne[i])) || (ligne[i] >= '0' && ligne[i] <= '9')))
        ++i;
    if (i < n && uchar(ligne[i]) >= 0x80)
        return false;
    const QByteArrayView mot = ligne.sliced(debut, i - debut);
    for (std::string_view m : mots)
        if (mot.size() == qsizetype(m.size()) &&
            mot.compare(QByteArrayView(m.data(), m.size()), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Whether the line, trimmed as the lexer trims it, ends in "=": it may end in a soft line break.
inline bool finitParEgal(QByteArrayView ligne) {
    const QByteArrayView l = sansBlancsFinaux(ligne);
    return !l.isEmpty() && l.back() == '=';
}

// A counter figure with leading zeros to at least five digits.
inline QString Zeros5(quint64 n) {
    QString s = QString::number(n);
    if (s.size() < 5)
        s.prepend(QString(5 - s.size(), QLatin1Char('0')));
    return s;
}

inline const QString& TetePhoto() {
    static const QString s = QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:");
    return s;
}
inline const QString& TeteLogo() {
    static const QString s = QStringLiteral("LOGO;ENCODING=BASE64;TYPE=JPEG:");
    return s;
}

// One picture step of a card end: reads the picture `name` of `folder` and writes it after
// `Tete` into T. Returns false when reading failed (the error line is then logged); otherwise
// Photo holds the base64 data read, empty when there was no such file or it was empty.
inline bool AjouterImage(Run& F, PictureFolder& folder, const QString& name, const QString& Tete, LineList& T,
                         QByteArray& Photo) {
    Photo.clear();
    try {
        const QString path = folder.find(name);
        if (!path.isEmpty() && EncodeFile(path, Photo, F.options().files)) {
            F.EcrirePhoto(Tete, Photo, T);
            ++F.counts().picturesCopied;
        }
    } catch (const KzError& e) {
        Photo.clear();
        F.LogError(e);
        return false;
    }
    return true;
}
