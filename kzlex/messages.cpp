#include "kzlex/errors.h"
#include "kzlex/messages.h"
#include <iterator>

namespace {

struct Message {
    const char16_t* fr;
    const char16_t* en;
};

// Messages 1 to 22, then the text for any other number.
constexpr Message kMessages[23] = {
    {u"--> Erreur Syntaxe dans NAME : ", u"--> Syntax error in NAME : "},
    {u"--> Erreur Syntaxe dans URL : ", u"--> Syntax error in URL : "},
    {u"--> Erreur Syntaxe dans TEL : ", u"--> Syntax error in TEL : "},
    {u"--> Erreur Syntaxe dans ADR : ", u"--> Syntax error in ADR : "},
    {u"--> Erreur Syntaxe dans EMAIL : ", u"--> Syntax error in EMAIL : "},
    {u"--> Tag non reconnu", u"--> Tag Unknown"},
    {u"--> Erreur automate, arrêt traitement", u"--> Automata error, process ended"},
    {u"--> Conversion terminée", u"--> Conversion done"},
    {u"Fichier vide", u"Empty file"},
    {u"Le répertoire photo n'existe pas", u"The photos directory does'nt exist"},
    {u"Le répertoire de sortie n'existe pas", u"The output directory does'nt exist"},
    {u"Le fichier d'entrée n'existe pas", u"The input file does'nt exist"},
    {u"Répertoire de sortie", u"Output directory"},
    {u"Répertoire Entrée", u"Input directory"},
    {u"Répertoire Photos", u"Photos directory"},
    {u"Impossible de créer le fichier de configuration", u"Unable to create the configuration file"},
    {u"Le répertoire d'entrée n'existe pas", u"The input directory does'nt exist"},
    {u"Pas de fichiers VCF à traiter", u"No VCF file to process"},
    {u"Le fichier existe déjà, écraser ?", u"File already exists. Overwrite ?"},
    {u"Répertoire Logos", u"Logos directory"},
    {u"Le répertoire logo n'existe pas", u"The logos directory does'nt exist"},
    {u"Impossible de créer le répoertoire ImageCache", u"Unable to create the ImageCache directory"},
    {u"Erreur non répertoriée", u"Error unknown"},
};

// Messages 101 onwards: the window's newer buttons, its run summary, the log's saving, the counter,
// the checks that name their path and the notices of a run without a picture folder.
constexpr Message kWindowMessages[] = {
    {u"Arrêter", u"Stop"},
    {u"Ouvrir le dossier de sortie", u"Open output folder"},
    {u"Erreurs seulement", u"Errors only"},
    {u"Enregistrer le journal...", u"Save log..."},
    {u"%1 contact", u"%1 contact"},
    {u"%1 contacts", u"%1 contacts"},
    {u"%1 fichier écrit", u"%1 file written"},
    {u"%1 fichiers écrits", u"%1 files written"},
    {u"aucune erreur", u"no errors"},
    {u"%1 erreur", u"%1 error"},
    {u"%1 erreurs", u"%1 errors"},
    {u"Arrêté : %1", u"Stopped: %1"},
    {u"Interrompu par une erreur : %1", u"Ended by an error: %1"},
    {u"Rien n'a été enregistré : %1", u"Nothing saved: %1"},
    {u"Texte (*.txt)|*.txt|Tous (*.*)|*.*", u"Text (*.txt)|*.txt|All (*.*)|*.*"},
    {u"Impossible d'enregistrer le journal : %1", u"Cannot save the log: %1"},
    {u"Fichier vide : \"%1\"", u"Empty file: \"%1\""},
    {u"Le répertoire de sortie \"%1\" est un fichier", u"The output directory \"%1\" is a file"},
    {u"Impossible de créer un fichier dans le répertoire de sortie \"%1\" : %2",
     u"Cannot create a file in the output directory \"%1\": %2"},
    {u"--> Pas de répertoire photo choisi : aucune photo ajoutée", u"--> No photos directory chosen: no photos added"},
    {u"--> Pas de répertoire logo choisi : aucun logo ajouté", u"--> No logos directory chosen: no logos added"},
    {u"%1 photo", u"%1 photo"},
    {u"%1 photos", u"%1 photos"},
    {u"Aucun programme n'a pu ouvrir le dossier \"%1\"", u"No program could open the folder \"%1\""},
    {u"--> \"%1\" n'a pas été remplacé : la liste est incomplète",
     u"--> \"%1\" was not replaced: the list is incomplete"},
};
constexpr quint16 kFirstWindowMessage = 101;
constexpr quint16 kWindowMessageCount = sizeof(kWindowMessages) / sizeof(kWindowMessages[0]);

} // namespace

QString Mess(const QString& Langue, quint16 No) {
    const bool window = No >= kFirstWindowMessage && No < kFirstWindowMessage + kWindowMessageCount;
    const Message& m = window                    ? kWindowMessages[No - kFirstWindowMessage]
                       : (No >= 1 && No <= 22) ? kMessages[No - 1]
                                               : kMessages[22];
    return QString::fromUtf16(Langue == QLatin1String("FR") ? m.fr : m.en);
}

namespace {

// The error texts, in the order of ErrorText.
constexpr Message kErrorTexts[] = {
    {u"Impossible d'ouvrir \"%1\" : %2", u"Cannot open \"%1\": %2"},
    {u"Impossible de lire \"%1\" : %2", u"Cannot read \"%1\": %2"},
    {u"Impossible de lire \"%1\" : ce n'est pas un fichier ordinaire", u"Cannot read \"%1\": not a regular file"},
    {u"Impossible de créer \"%1\" : %2", u"Cannot create \"%1\": %2"},
    {u"Impossible de créer \"%1\" : aucun nom de fichier temporaire libre",
     u"Cannot create \"%1\": no free temporary name"},
    {u"Impossible d'écrire \"%1\" : %2", u"Cannot write \"%1\": %2"},
    {u"Impossible d'écrire \"%1\" : seuls %2 octets sur %3 ont été écrits",
     u"Cannot write \"%1\": only %2 of %3 bytes were written"},
    {u"Impossible d'écrire \"%1\" : c'est un lien vers un fichier absent",
     u"Cannot write \"%1\": it is a link to a missing file"},
    {u"Impossible d'écrire \"%1\" : ce n'est pas un fichier ordinaire", u"Cannot write \"%1\": not a regular file"},
    {u"Le fichier \"%1\" est marqué comme UTF-8 mais l'octet à la position %2 (ligne %3) n'est pas de l'UTF-8 "
     u"valide",
     u"The file \"%1\" is marked as UTF-8 but the byte at offset %2 (line %3) is not valid UTF-8"},
    {u"Le fichier \"%1\" contient un caractère NUL à la ligne %2 (fichier binaire, ou UTF-16 sans marque d'ordre "
     u"des octets ?)",
     u"The file \"%1\" holds a NUL character at line %2 (binary file, or UTF-16 without byte-order mark?)"},
    {u"Le fichier \"%1\" est marqué comme UTF-16 mais a un nombre impair d'octets",
     u"The file \"%1\" is marked as UTF-16 but has an odd number of bytes"},
    {u"Le fichier \"%1\" est marqué comme UTF-16 mais contient une paire de substitution incomplète à la position %2 "
     u"(ligne %3)",
     u"The file \"%1\" is marked as UTF-16 but holds a broken surrogate pair at offset %2 (line %3)"},
    {u"\"%1\" : la fiche %2, commencée à la ligne %3, n'a pas de ligne END:VCARD avant la fin du fichier ; elle n'a "
     u"pas été écrite",
     u"\"%1\": card %2, begun at line %3, has no END:VCARD line before the end of the file; it was not written"},
    {u"\"%1\" : la fiche %2, commencée à la ligne %3, n'a pas de ligne END:VCARD ; elle a été close au BEGIN:VCARD "
     u"de la ligne %4",
     u"\"%1\": card %2, begun at line %3, has no END:VCARD line; it was ended at the BEGIN:VCARD of line %4"},
    {u"%1 : la fiche %2, qui commence à la ligne %3, n'a pas de ligne END:VCARD",
     u"%1: card %2, which begins at line %3, has no END:VCARD line"},
    {u"La valeur X-IRMC-LUID \"%1\" n'est pas un simple nom de fichier : aucune image copiée dans \"%2\"",
     u"The X-IRMC-LUID value \"%1\" is not a plain file name: no picture copied into \"%2\""},
    {u"L'image \"%1\" fait %2 octets, plus que les 16 Mo permis pour une image : elle n'a pas été reprise",
     u"The picture \"%1\" holds %2 bytes, more than the 16 MB a picture may have: it was left out"},
    {u"\"%1\" ne contient aucune ligne BEGIN:VCARD : ce n'est pas un fichier vCard, et aucune fiche n'a été écrite",
     u"\"%1\" holds no BEGIN:VCARD line: it is not a vCard file, and no card was written"},
    {u"Mémoire insuffisante pour terminer le traitement", u"Not enough memory to finish the run"},
    {u"Traitement arrêté : la fenêtre se ferme", u"Run stopped: the window is closing"},
    {u"Traitement arrêté à la demande de l'utilisateur", u"Run stopped by the user"},
};
static_assert(std::size(kErrorTexts) == size_t(ErrorText::StoppedByUser) + 1, "one text per ErrorText");

} // namespace

QString ErrorMess(const QString& Langue, ErrorText text) {
    const Message& m = kErrorTexts[size_t(text)];
    return QString::fromUtf16(Langue == QLatin1String("FR") ? m.fr : m.en);
}

QString ErrorMess(const QString& Langue, ErrorText text, const QStringList& args) {
    const QString format = ErrorMess(Langue, text);
    QString out;
    out.reserve(format.size() + 64);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size() && format.at(i + 1).isDigit()) {
            const qsizetype n = format.at(i + 1).digitValue();
            if (n >= 1 && n <= args.size()) {
                out += args.at(n - 1);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}
