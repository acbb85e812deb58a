#include "kzlex/utilities.h"

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

} // namespace

QString Mess(const QString& Langue, quint16 No) {
    const Message& m = (No >= 1 && No <= 22) ? kMessages[No - 1] : kMessages[22];
    return QString::fromUtf16(Langue == QLatin1String("FR") ? m.fr : m.en);
}
