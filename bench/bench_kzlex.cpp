// Times the text toolkit on a million-line vCard list built in memory: the three dialect
// passes (the input ones a line at a time, as the conversions run them), lexing every line as
// the conversions do, and escaping the values.
#include "kzlex/kzlex.h"
#include "kzmain/contactxml.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>
#include <ctime>
#include <utility>

namespace {

// One Google/MyPhoneExplorer-flavoured card; `n` varies the text so no two cards are equal.
void appendCard(QStringList& out, int n) {
    const QString num = QString::number(n);
    out << "BEGIN:VCARD"
        << "VERSION:3.0"
        << "N:Dupont" + num + ";Jean;;;"
        << "FN:Jean Dupont" + num << "ORG:Acme & Fils;Ventes"
        << "item1.EMAIL;type=INTERNET:jean." + num + "@example.fr"
        << "item1.X-ABLabel:Travail"
        << "TEL;TYPE=CELL:+33 6 12 34 " + num.right(2) << "TEL;TYPE=3DHOME:01 23 45 67 89"
        << "ADR;TYPE=HOME:;;1 rue de la Gare;Paris;;75001;France"
        // UTF-8 bytes read one character per byte, as a file without byte-order mark gives them.
        << QString("NOTE;ENCODING=QUOTED-PRINTABLE:Caf\u00c3\u00a9 cr\u00c3\u00a8me=0Aligne 2 \u00e2\u0082\u00ac=")
        << "suite de la note " + num << "URL:https://example.fr/a:b/" + num << "X-SYNC;X-SYNC-ID=" + num + ":abc"
        << "BDAY:1970-01-01"
        << "TITLE:Directeur \"commercial\" <ventes>"
        << "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAoHBwgHBgoICAgLCgoLDhgQ"
        << " DhANDhwUFRAYHhsgHx4bHRsgJC0oICIqIhsdJzEmKi0vMjIyHyY2OjMwOC0xMi8="
        << ""
        << "END:VCARD";
}

// Wall time, and processor time beside it since the machine may be busy with other work.
template <typename F> void timeIt(const char* name, F&& f) {
    QElapsedTimer t;
    const std::clock_t c0 = std::clock();
    t.start();
    f();
    const long long wall = t.elapsed();
    const long long cpu = (std::clock() - c0) * 1000LL / CLOCKS_PER_SEC;
    std::printf("%-40s %8lld ms (cpu %lld ms)\n", name, wall, cpu);
}

// The lines that InputLines hands on from `list` with `passes`, taken out of the list.
LineList handOn(LineList& list, InputLines::Passes passes) {
    LineList out;
    out.reserve(list.size());
    InputLines lines(list, passes);
    for (QString line; lines.next(line);)
        out.append(std::move(line));
    return out;
}

// Lexes one line as the conversions do: its values go to `values`; returns what it adds to the
// checksum.
qsizetype lexLine(LECTYPE& LEX, QString& nom, const QString& line, QStringList& values) {
    qsizetype checksum = 0;
    LEX.BUFFER = line;
    DEBUTANALYSE(LEX);
    if (IDENTPATERN(LEX, u"BEGIN") && SEPARATEUR(LEX, u":") && IDENTPATERN(LEX, u"VCARD")) {
        ++checksum;
    } else if (IDENTPATERN(LEX, u"END") && SEPARATEUR(LEX, u":") && IDENTPATERN(LEX, u"VCARD")) {
        ++checksum;
    } else if (IDENTPATERN(LEX, u"N") && (SEPARATEUR(LEX, u";") || SEPARATEUR(LEX, u":"))) {
        LEX.INDEX = LEX.BUFFER.indexOf(u':') + 1;
        if (LEX.INDEX > 0)
            for (int i = 0; i < 5; ++i)
                values << IDENTSEP(LEX, u';');
    } else if (IDENTPATERN(LEX, u"FN")) {
        LEX.INDEX = LEX.BUFFER.indexOf(u':') + 1;
        values << IDENTSEP(LEX, QChar(u'\0'));
    } else if (IDENTPATERN(LEX, u"TEL") || IDENTPATERN(LEX, u"EMAIL") || IDENTPATERN(LEX, u"URL")) {
        if (LEX.CH != u':')
            checksum += IDENTSEP(LEX, u':').size();
        values << IDENTSEP(LEX, QChar(u'\0'));
    } else if (IDENTPATERN(LEX, u"ADR")) {
        if (LEX.CH != u':')
            checksum += IDENTSEP(LEX, u':').size();
        for (int i = 0; i < 7; ++i)
            values << IDENTSEP(LEX, u';');
    } else if (IDENTPATERN(LEX, u"PHOTO") || IDENTPATERN(LEX, u"LOGO")) {
        ++checksum;
    } else if (IDENTIFICATEUR(LEX, nom)) {
        if (nom == u"X" && SEPARATEUR(LEX, u"-"))
            ++checksum;
        else if (LEX.CH != u':' && !SEPARATEUR(LEX, u""))
            checksum += IDENTSEP(LEX, u':').size();
        if (LEX.T == CARACTERE)
            values << IDENTSEP(LEX, QChar(u'\0'));
    }
    return checksum;
}

} // namespace

int main() {
    LineList source;
    source.reserve(1000020);
    for (int n = 0; source.size() < 1000000; ++n)
        appendCard(source, n);
    std::printf("lines: %lld\n", static_cast<long long>(source.size()));

    // Each pass gets a list of its own, as a conversion does, so the timings leave out the
    // copy that a shared list would make on its first write.
    InputLines::Passes google, myPhone;
    google.google = true;
    myPhone.myPhone = true;
    LineList googleIn = source;
    googleIn.detach();
    timeIt("InputLines, Google labels", [&] { googleIn = handOn(googleIn, google); });
    LineList pre = source;
    pre.detach();
    timeIt("InputLines, MyPhoneExplorer", [&] { pre = handOn(pre, myPhone); });
    LineList post = pre;
    post.detach();
    timeIt("PostTraitementMyPhone", [&] { PostTraitementMyPhone(post); });

    QStringList values;
    values.reserve(2 * source.size());
    qsizetype checksum = 0;
    timeIt("lexing (DEBUTANALYSE + dispatch)", [&] {
        LECTYPE LEX;
        QString nom;
        for (const QString& line : std::as_const(pre))
            checksum += lexLine(LEX, nom, line, values);
    });

    QStringList escaped;
    escaped.reserve(values.size());
    timeIt("TraiteLigneContact", [&] {
        for (const QString& v : std::as_const(values))
            escaped << TraiteLigneContact(v);
    });

    for (const QString& e : std::as_const(escaped))
        checksum += e.size();
    std::printf("values escaped: %lld (checksum %lld)\n", static_cast<long long>(escaped.size()),
                static_cast<long long>(checksum));
    return 0;
}
