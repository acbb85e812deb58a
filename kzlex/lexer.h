#pragma once
// The line lexer: a hand-written scanner over one line with one character of look-ahead.
// Positions count UTF-16 code units from 1.
#include <QString>
#include <QStringView>

enum TYPLEX : quint8 { CARACTERE = 0, FINLIGNE = 1 };

struct LECTYPE {
    qsizetype INDEX = 0; // position of the current character, from 1
    QChar CH;            // current character, upper case
    QChar CL;            // current character as it stands in BUFFER
    TYPLEX T = FINLIGNE;
    QString BUFFER;
};

void DEBUTANALYSE(LECTYPE& LECTEUR);
void LIRECARACTERE(LECTYPE& LECTEUR);
void SAUTERBLANCS(LECTYPE& LECTEUR);
bool NUMERIQUE(QChar CH);
bool ALPHABETIQUE(QChar CH);
bool SEPARATEUR(LECTYPE& LECTEUR, QStringView DESIRE);
bool IDENTIFICATEUR(LECTYPE& LECTEUR, QString& NOM);
bool IDENTPATERN(LECTYPE& LECTEUR, QStringView NOM);
// The upper-case character with which IDENTPATERN would begin to compare at the reading
// position, after the blanks and tabs it steps over; 0 where it would compare nothing. A
// keyword that does not begin with it cannot match there. Touches nothing.
char16_t DEBUTIDENT(const LECTYPE& LECTEUR);
QString IDENTSEP(LECTYPE& LECTEUR, QChar SEP);
