#pragma once
// The two-language message catalogue: the numbers of its messages and their texts.
#include <QString>
#include <QtGlobal>

// The numbers of the catalogue's messages.
enum MessageNo : quint16 {
    MsgSyntaxeNom = 1,
    MsgSyntaxeUrl = 2,
    MsgSyntaxeTel = 3,
    MsgSyntaxeAdr = 4,
    MsgSyntaxeEmail = 5,
    MsgTagInconnu = 6,
    MsgErreurAutomate = 7,
    MsgConversionTerminee = 8,
    MsgFichierVide = 9,
    MsgRepPhotosAbsent = 10,
    MsgRepSortieAbsent = 11,
    MsgFichierEntreeAbsent = 12,
    MsgTitreRepSortie = 13,
    MsgTitreRepEntree = 14,
    MsgTitreRepPhotos = 15,
    MsgConfigImpossible = 16,
    MsgRepEntreeAbsent = 17,
    MsgPasDeVcf = 18,
    MsgEcraser = 19,
    MsgTitreRepLogos = 20,
    MsgRepLogosAbsent = 21,
    MsgImageCacheImpossible = 22,
    // The window's newer texts.
    MsgArreter = 101,
    MsgOuvrirSortie = 102,
    MsgErreursSeules = 103,
    MsgEnregistrerLog = 104,
    MsgContact = 105,        // "%1 contact": one (French: none or one)
    MsgContacts = 106,       // "%1 contacts"
    MsgFichierEcrit = 107,   // "%1 file written"
    MsgFichiersEcrits = 108, // "%1 files written"
    MsgAucuneErreur = 109,
    MsgErreur = 110,  // "%1 error"
    MsgErreurs = 111, // "%1 errors"
    MsgResumeArret = 112,
    MsgResumeErreur = 113,
    MsgResumeNonEnregistre = 114,
    MsgFiltreTexte = 115,
    MsgLogImpossible = 116,
    MsgFichierVideNomme = 117,         // "Empty file: "%1""
    MsgRepSortieFichier = 118,         // the output folder "%1" is a file
    MsgRepSortieNonInscriptible = 119, // no new file can be made in the output folder "%1": %2
    MsgSansPhotos = 120,               // notice: no photos folder chosen
    MsgSansLogos = 121,                // notice: no logos folder chosen
    MsgPhoto = 122,                    // "%1 photo": one (French: none or one)
    MsgPhotos = 123,                   // "%1 photos"
    MsgOuvrirImpossible = 124,         // nothing could open the folder "%1"
    MsgCarnetNonRemplace = 125,        // the phone book "%1" kept: the list is incomplete
};
// The two-language message catalogue: French only when Langue is exactly "FR".
QString Mess(const QString& Langue, quint16 No);
