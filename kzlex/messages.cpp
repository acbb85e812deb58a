#include "kzlex/messages.h"
#include <iterator>

namespace {

struct Text {
    Msg msg;
    const char16_t* fr;
    const char16_t* en;
};

// Every text, in the order of Msg. Captions mark their Alt letter with "&"; no other text holds one.
constexpr Text kTexts[] = {
    {Msg::SyntaxName, u"--> Erreur Syntaxe dans NAME : ", u"--> Syntax error in NAME : "},
    {Msg::SyntaxUrl, u"--> Erreur Syntaxe dans URL : ", u"--> Syntax error in URL : "},
    {Msg::SyntaxTel, u"--> Erreur Syntaxe dans TEL : ", u"--> Syntax error in TEL : "},
    {Msg::SyntaxAdr, u"--> Erreur Syntaxe dans ADR : ", u"--> Syntax error in ADR : "},
    {Msg::SyntaxEmail, u"--> Erreur Syntaxe dans EMAIL : ", u"--> Syntax error in EMAIL : "},
    {Msg::UnknownTag, u"--> Tag non reconnu", u"--> Tag Unknown"},
    {Msg::AutomatonError, u"--> Erreur automate, arrêt traitement", u"--> Automata error, process ended"},
    {Msg::ConversionDone, u"--> Conversion terminée", u"--> Conversion done"},
    {Msg::EmptyFile, u"Fichier vide", u"Empty file"},
    {Msg::PhotosFolderMissing, u"Le répertoire photo n'existe pas", u"The photos directory does'nt exist"},
    {Msg::OutputFolderMissing, u"Le répertoire de sortie n'existe pas", u"The output directory does'nt exist"},
    {Msg::InputFileMissing, u"Le fichier d'entrée n'existe pas", u"The input file does'nt exist"},
    {Msg::OutputFolderTitle, u"Répertoire de sortie", u"Output directory"},
    {Msg::InputFolderTitle, u"Répertoire Entrée", u"Input directory"},
    {Msg::PhotosFolderTitle, u"Répertoire Photos", u"Photos directory"},
    {Msg::CannotCreateSettings, u"Impossible de créer le fichier de configuration",
     u"Unable to create the configuration file"},
    {Msg::InputFolderMissing, u"Le répertoire d'entrée n'existe pas", u"The input directory does'nt exist"},
    {Msg::NoVcfFile, u"Pas de fichiers VCF à traiter", u"No VCF file to process"},
    {Msg::Overwrite, u"Le fichier existe déjà, écraser ?", u"File already exists. Overwrite ?"},
    {Msg::LogosFolderTitle, u"Répertoire Logos", u"Logos directory"},
    {Msg::LogosFolderMissing, u"Le répertoire logo n'existe pas", u"The logos directory does'nt exist"},
    {Msg::CannotCreateImageCache, u"Impossible de créer le répoertoire ImageCache",
     u"Unable to create the ImageCache directory"},
    {Msg::Unknown, u"Erreur non répertoriée", u"Error unknown"},

    {Msg::Stop, u"&Arrêter", u"S&top"},
    {Msg::OpenOutputFolder, u"&Ouvrir le dossier de sortie", u"&Open output folder"},
    {Msg::ErrorsOnly, u"E&rreurs seulement", u"&Errors only"},
    {Msg::SaveLog, u"Enregistrer le &journal...", u"Save lo&g..."},
    {Msg::Contact, u"%1 contact", u"%1 contact"},
    {Msg::Contacts, u"%1 contacts", u"%1 contacts"},
    {Msg::FileWritten, u"%1 fichier écrit", u"%1 file written"},
    {Msg::FilesWritten, u"%1 fichiers écrits", u"%1 files written"},
    {Msg::NoErrors, u"aucune erreur", u"no errors"},
    {Msg::Error, u"%1 erreur", u"%1 error"},
    {Msg::Errors, u"%1 erreurs", u"%1 errors"},
    {Msg::SummaryStopped, u"Arrêté : %1", u"Stopped: %1"},
    {Msg::SummaryError, u"Interrompu par une erreur : %1", u"Ended by an error: %1"},
    {Msg::SummaryNotSaved, u"Rien n'a été enregistré : %1", u"Nothing saved: %1"},
    {Msg::LogFilter, u"Texte (*.txt)|*.txt|Tous (*.*)|*.*", u"Text (*.txt)|*.txt|All (*.*)|*.*"},
    {Msg::CannotSaveLog, u"Impossible d'enregistrer le journal : %1", u"Cannot save the log: %1"},
    {Msg::EmptyFileNamed, u"Fichier vide : \"%1\"", u"Empty file: \"%1\""},
    {Msg::OutputFolderIsFile, u"Le répertoire de sortie \"%1\" est un fichier",
     u"The output directory \"%1\" is a file"},
    {Msg::OutputFolderNotWritable, u"Impossible de créer un fichier dans le répertoire de sortie \"%1\" : %2",
     u"Cannot create a file in the output directory \"%1\": %2"},
    {Msg::NoPhotosFolder, u"--> Pas de répertoire photo choisi : aucune photo ajoutée",
     u"--> No photos directory chosen: no photos added"},
    {Msg::NoLogosFolder, u"--> Pas de répertoire logo choisi : aucun logo ajouté",
     u"--> No logos directory chosen: no logos added"},
    {Msg::Photo, u"%1 photo", u"%1 photo"},
    {Msg::Photos, u"%1 photos", u"%1 photos"},
    {Msg::CannotOpenFolder, u"Aucun programme n'a pu ouvrir le dossier \"%1\"",
     u"No program could open the folder \"%1\""},
    {Msg::PhoneBookKept, u"--> \"%1\" n'a pas été remplacé : la liste est incomplète",
     u"--> \"%1\" was not replaced: the list is incomplete"},
    {Msg::ProgressFormat, u"%p %", u"%p%"},
    {Msg::ProgressName, u"Avancement", u"Progress"},

    {Msg::CannotOpen, u"Impossible d'ouvrir \"%1\" : %2", u"Cannot open \"%1\": %2"},
    {Msg::CannotRead, u"Impossible de lire \"%1\" : %2", u"Cannot read \"%1\": %2"},
    {Msg::NotRegularFile, u"Impossible de lire \"%1\" : ce n'est pas un fichier ordinaire",
     u"Cannot read \"%1\": not a regular file"},
    {Msg::CannotCreate, u"Impossible de créer \"%1\" : %2", u"Cannot create \"%1\": %2"},
    {Msg::NoFreeTemporaryName, u"Impossible de créer \"%1\" : aucun nom de fichier temporaire libre",
     u"Cannot create \"%1\": no free temporary name"},
    {Msg::CannotWrite, u"Impossible d'écrire \"%1\" : %2", u"Cannot write \"%1\": %2"},
    {Msg::ShortWrite, u"Impossible d'écrire \"%1\" : seuls %2 octets sur %3 ont été écrits",
     u"Cannot write \"%1\": only %2 of %3 bytes were written"},
    {Msg::LinkToMissingFile, u"Impossible d'écrire \"%1\" : c'est un lien vers un fichier absent",
     u"Cannot write \"%1\": it is a link to a missing file"},
    {Msg::WriteNotRegularFile, u"Impossible d'écrire \"%1\" : ce n'est pas un fichier ordinaire",
     u"Cannot write \"%1\": not a regular file"},
    {Msg::BadUtf8,
     u"Le fichier \"%1\" est marqué comme UTF-8 mais l'octet à la position %2 (ligne %3) n'est pas de l'UTF-8 "
     u"valide",
     u"The file \"%1\" is marked as UTF-8 but the byte at offset %2 (line %3) is not valid UTF-8"},
    {Msg::NulCharacter,
     u"Le fichier \"%1\" contient un caractère NUL à la ligne %2 (fichier binaire, ou UTF-16 sans marque d'ordre "
     u"des octets ?)",
     u"The file \"%1\" holds a NUL character at line %2 (binary file, or UTF-16 without byte-order mark?)"},
    {Msg::Utf16OddSize, u"Le fichier \"%1\" est marqué comme UTF-16 mais a un nombre impair d'octets",
     u"The file \"%1\" is marked as UTF-16 but has an odd number of bytes"},
    {Msg::Utf16BrokenSurrogate,
     u"Le fichier \"%1\" est marqué comme UTF-16 mais contient une paire de substitution incomplète à la position %2 "
     u"(ligne %3)",
     u"The file \"%1\" is marked as UTF-16 but holds a broken surrogate pair at offset %2 (line %3)"},
    {Msg::CardNotEnded,
     u"\"%1\" : la fiche %2, commencée à la ligne %3, n'a pas de ligne END:VCARD avant la fin du fichier ; elle n'a "
     u"pas été écrite",
     u"\"%1\": card %2, begun at line %3, has no END:VCARD line before the end of the file; it was not written"},
    {Msg::CardEndedByNext,
     u"\"%1\" : la fiche %2, commencée à la ligne %3, n'a pas de ligne END:VCARD ; elle a été close au BEGIN:VCARD "
     u"de la ligne %4",
     u"\"%1\": card %2, begun at line %3, has no END:VCARD line; it was ended at the BEGIN:VCARD of line %4"},
    {Msg::CardWithoutEnd, u"%1 : la fiche %2, qui commence à la ligne %3, n'a pas de ligne END:VCARD",
     u"%1: card %2, which begins at line %3, has no END:VCARD line"},
    {Msg::LuidNotFileName,
     u"La valeur X-IRMC-LUID \"%1\" n'est pas un simple nom de fichier : aucune image copiée dans \"%2\"",
     u"The X-IRMC-LUID value \"%1\" is not a plain file name: no picture copied into \"%2\""},
    {Msg::PictureTooLarge,
     u"L'image \"%1\" fait %2 octets, plus que les 16 Mo permis pour une image : elle n'a pas été reprise",
     u"The picture \"%1\" holds %2 bytes, more than the 16 MB a picture may have: it was left out"},
    {Msg::NoCard,
     u"\"%1\" ne contient aucune ligne BEGIN:VCARD : ce n'est pas un fichier vCard, et aucune fiche n'a été écrite",
     u"\"%1\" holds no BEGIN:VCARD line: it is not a vCard file, and no card was written"},
    {Msg::NotEnoughMemory, u"Mémoire insuffisante pour terminer le traitement", u"Not enough memory to finish the run"},
    {Msg::StoppedWindowClosing, u"Traitement arrêté : la fenêtre se ferme", u"Run stopped: the window is closing"},
    {Msg::StoppedByUser, u"Traitement arrêté à la demande de l'utilisateur", u"Run stopped by the user"},

    {Msg::FilesProcessedLabel, u"FICHIERS TRAITES", u"FILES PROCESSED"},
    {Msg::LanguageLabel, u"Lan&gue", u"Lan&guage"},
    {Msg::CounterLabel, u"Nb traités", u"Nr processed"},
    {Msg::IncludePhotos, u"Inclure p&hotos", u"Include p&hotos"},
    {Msg::IncludeLogos, u"&Inclure Logos", u"Incl&ude Logos"},
    {Msg::DropTagX, u"&VCF : supprimer les tags X-...", u"&VCF: Delete line with tags X-..."},
    {Msg::InputMyPhone, u"Ent&ree = MyPhoneExplorer", u"Input = MyPhone&Explorer"},
    {Msg::OutputMyPhone, u"Sortie = MyphoneE&xplorer", u"Output = MyPhoneE&xplorer"},
    {Msg::GoogleLabels, u"VCF : Traiter les X-A&BLabel", u"VCF: Process X-A&BLabel"},
    {Msg::SourceFileButton, u"Fichier &source", u"&Source file"},
    {Msg::OutputFolderButton, u"Rep. Sor&tie", u"&Dest. Dir."},
    {Msg::InputFolderButton, u"Rep. &Entrée", u"&Input Dir."},
    {Msg::PhotosFolderButton, u"Rep. &Photos", u"&Photos Dir."},
    {Msg::LogosFolderButton, u"Rep. &Logos", u"&Logos Dir."},
    // Each action's and option box's letter is free on the page that shows it, the lower area
    // (always shown) included.
    {Msg::ContactsAction, u"Convertir fichier VCF unique en .co&ntacts", u"Conv. single VCF file into .co&ntacts"},
    {Msg::SplitAction, u"Convertir fichier VCF unique en &multiples VCF", u"Conv. single VCF file into &multiple VCF"},
    {Msg::MergeAction, u"Convertir fichier VCF mutiples en &unique VCF", u"Conv. multiple VCF &files into one VCF"},
    {Msg::RunButton, u"&Convertir", u"&Run"},
    {Msg::CloseButton, u"&Fermer", u"&Close"},
    {Msg::PhoneBookAction, u"Ajout photos/logos à fichier Phoneboo&k.dat",
     u"Ajout photos/logos à fichier Phoneboo&k.dat"},
    {Msg::DropTagSync, u"Supprimer les tags X-S&YNC", u"Supprimer les tags X-S&YNC"},
};

// At most one "&" in a text, and never as its last character.
constexpr bool wellMarked(const char16_t* text) {
    int marks = 0;
    for (; *text; ++text)
        if (*text == u'&' && (++marks > 1 || text[1] == u'\0'))
            return false;
    return true;
}

constexpr bool wellFormed() {
    for (size_t i = 0; i < std::size(kTexts); ++i)
        if (size_t(kTexts[i].msg) != i || !wellMarked(kTexts[i].fr) || !wellMarked(kTexts[i].en))
            return false;
    return true;
}
static_assert(wellFormed(), "one text per Msg, in its order, with at most one Alt letter");
static_assert(size_t(Msg::DropTagSync) + 1 == std::size(kTexts), "a text for every Msg");

const char16_t* textOf(Language language, Msg msg) {
    const size_t i = size_t(msg) < std::size(kTexts) ? size_t(msg) : size_t(Msg::Unknown);
    return language == Language::French ? kTexts[i].fr : kTexts[i].en;
}

} // namespace

QString AltCaption(Language language, Msg msg) {
    return QString::fromUtf16(textOf(language, msg));
}

QString Mess(Language language, Msg msg) {
    QString text = AltCaption(language, msg);
    const qsizetype mark = text.indexOf(u'&');
    if (mark >= 0)
        text.remove(mark, 1);
    return text;
}

QString Mess(Language language, Msg msg, const QStringList& args) {
    const QString format = Mess(language, msg);
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

QString LanguageCode(Language language) {
    return language == Language::French ? QStringLiteral("FR") : QStringLiteral("EN");
}
