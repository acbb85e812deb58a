#pragma once
// Small file helpers shared by the tests of the split, the merge, the phone book and the
// command line.
#include "kzlex/kzlex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace helpers {

inline QString dataPath(const QString& name) {
    return QStringLiteral(CORVANTA_TEST_DATA "/") + name;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A file of `size` bytes that takes no room on the disk (a picture too large to read).
inline bool makeSparse(const QString& path, qint64 size) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read ") + path.toUtf8() + '>';
    return f.readAll();
}

// The lines of a vCard text written with LF (a fixture, or a literal) as the tool writes
// them: CR LF after every line.
inline QByteArray crlf(QByteArray text) {
    text.replace("\r\n", "\n");
    text.replace('\n', "\r\n");
    return text;
}

// A conversion input as the driver reads it: UTF-8 bytes held one character per byte.
inline LineList inputFromBytes(const QByteArray& bytes) {
    return LineList(LineList::splitLines(Cp1252::decode(bytes)));
}

// The names of the files of a folder, in code-unit order.
inline QStringList fileNames(const QString& dir) {
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry under a folder, as a path relative to it.
inline QStringList treeEntries(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    std::sort(found.begin(), found.end());
    return found;
}

// Compares bytes line by line so that a failure names the first line that differs.
inline bool sameBytes(const QByteArray& actual, const QByteArray& expected, QString* why) {
    if (actual == expected)
        return true;
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (qsizetype i = 0; i < qMax(a.size(), e.size()); ++i) {
        const QByteArray la = a.value(i, "<none>");
        const QByteArray le = e.value(i, "<none>");
        if (la != le) {
            *why = QStringLiteral("line %1: got [%2], expected [%3]")
                       .arg(QString::number(i + 1), QString::fromUtf8(la), QString::fromUtf8(le));
            return false;
        }
    }
    *why = QStringLiteral("differ");
    return false;
}

// Number of BEGIN:VCARD lines of a file, by the same rule as the conversions.
inline int countCards(const QString& path) {
    LineList lines;
    lines.LoadFromFile(path, LineList::LoadForm::Utf8Bytes);
    int n = 0;
    LECTYPE lex;
    for (const QString& l : std::as_const(lines)) {
        lex.BUFFER = l;
        DEBUTANALYSE(lex);
        if (IDENTPATERN(lex, u"BEGIN") && SEPARATEUR(lex, u":") && IDENTPATERN(lex, u"VCARD"))
            ++n;
    }
    return n;
}

// The corpus of real exports (tests/data/corpus), every *.vcf at any depth. It is part of the
// repository: a test over it fails when it finds none rather than testing nothing.
inline QStringList corpusFiles() {
    QStringList files;
    QDirIterator it(QStringLiteral(CORVANTA_CORPUS), {QStringLiteral("*.vcf"), QStringLiteral("*.VCF")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace helpers

#define COMPARE_BYTES(actual, expected)                                                                                \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        if (!helpers::sameBytes((actual), (expected), &why_))                                                          \
            QFAIL(qPrintable(why_));                                                                                   \
    } while (false)
