#include "kzlex/shownline.h"

QString ShownLine(const QString& line) {
    auto controle = [](char16_t u) { return (u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F); };
    qsizetype i = 0;
    while (i < line.size() && !controle(line.at(i).unicode()))
        ++i;
    if (i == line.size())
        return line;
    QString shown = line;
    for (QChar* c = shown.data() + i; c != shown.data() + shown.size(); ++c)
        if (controle(c->unicode()))
            *c = QLatin1Char(' ');
    return shown;
}
