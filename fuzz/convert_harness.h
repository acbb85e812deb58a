#pragma once
// One Run of a conversion, end to end through the test window, on a fuzzed input file.
//
// Every run happens in a private folder tree (TMPDIR, HOME, APPDATA and the current folder
// all point into it):
//   root/cwd/            the current folder during the run (stays empty)
//   root/home/           HOME and APPDATA (stay empty)
//   root/base/run/in/    the input file(s); the merge reads the whole folder
//   root/base/run/out/   the output folder (and the merge's output file)
//   root/base/run/photos/, logos/  small pictures named after names the corpus uses
// After the run: no entry may appear outside root/base/run, the input, photo and logo
// folders must be unchanged, no temporary file may be left, every .contact document must be
// well-formed XML, and the current folder must be where the Run leaves it.
#include "fakewindow.h"
#include "fuzz_util.h"
#include "ui/presenter/kzform.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QXmlStreamReader>
#include <cstdlib>
#include <unistd.h>

namespace harness {

enum class Action { Contacts, Split, Merge, PhoneBook };

inline QString root;

inline void writeFile(const QString& path, QByteArrayView bytes) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(bytes.data(), bytes.size()) == bytes.size());
}

// Every entry below `dir` (relative path, and for files a hash of the contents).
inline QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray value = info.isSymLink() ? "link:" + info.symLinkTarget().toUtf8()
                           : info.isDir()   ? QByteArray("dir")
                                            : QByteArray();
        if (value.isEmpty()) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                value = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
        }
        entries.insert(QDir(dir).relativeFilePath(path), value);
    }
    return entries;
}

inline void printDiff(const char* what, const QMap<QString, QByteArray>& a, const QMap<QString, QByteArray>& b) {
    for (auto it = b.cbegin(); it != b.cend(); ++it)
        if (a.value(it.key()) != it.value())
            std::fprintf(stderr, "%s: new or changed: %s\n", what, qPrintable(it.key()));
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        if (!b.contains(it.key()))
            std::fprintf(stderr, "%s: removed: %s\n", what, qPrintable(it.key()));
}

inline void expectSame(const char* what, const QMap<QString, QByteArray>& a, const QMap<QString, QByteArray>& b) {
    if (a != b) {
        printDiff(what, a, b);
        FUZZ_CHECK(a == b);
    }
}

inline void initialise() {
    // A private tree for everything the run could touch, made before Qt reads TMPDIR or HOME.
    // A memory file system when there is one: each run creates and removes a few dozen files.
    QByteArray pattern =
        QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm/corvanta-fuzz-XXXXXX" : "/tmp/corvanta-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    root = QString::fromLocal8Bit(pattern);
    for (const char* sub : {"cwd", "home", "base"})
        FUZZ_CHECK(QDir(root).mkpath(QString::fromLatin1(sub)));
    qputenv("TMPDIR", QFile::encodeName(root + QStringLiteral("/base")));
    qputenv("HOME", QFile::encodeName(root + QStringLiteral("/home")));
    qputenv("APPDATA", QFile::encodeName(root + QStringLiteral("/home")));
    FUZZ_CHECK(QDir::setCurrent(root + QStringLiteral("/cwd")));
    std::atexit([] { QDir(root).removeRecursively(); });
}

inline void makePictures(const QString& dir) {
    QDir().mkpath(dir);
    // A few bytes that start like a JPEG file; names the corpus and the fixtures use.
    const QByteArray jpeg = QByteArray::fromHex("FFD8FFE000104A46494600010100000100010000FFD9");
    for (const char* name : {"Doe John.jpg", "dupont jean.JPG", "Dupont Jean.jpg", "Acme.jpg", "logo_Acme.jpg",
                             "Wikimedia.jpg", "logo_Wikimedia.jpg", "Gump Forrest.jpg", "0001.jpg"})
        writeFile(dir + u'/' + QString::fromUtf8(name), jpeg);
    writeFile(dir + QStringLiteral("/Petit Louis.jpg"), QByteArray()); // empty: no picture
    QDir().mkpath(dir + QStringLiteral("/Sans Luid.jpg"));             // a folder does not count
    QFile::link(QStringLiteral("Doe John.jpg"), dir + QStringLiteral("/Smith A.jpg"));
}

inline bool validXml(const QByteArray& doc, QString* error) {
    QXmlStreamReader xml(doc);
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        *error = xml.errorString() + QStringLiteral(" at line %1").arg(xml.lineNumber());
    return !xml.hasError();
}

// The folders of one run, made afresh for each input.
struct RunFolders {
    QString base, dir, inDir, outDir, photos, logos, inputFile;
};

// Writes the merge's input: up to four files, cut from the input in equal parts; a folder
// named like a VCF file is an unreadable entry.
inline void writeMergeInput(const QString& inDir, uint8_t more, QByteArrayView input) {
    const int files = 1 + more % 4;
    const qsizetype part = input.size() / files;
    const char* names[] = {"a.vcf", "B.VCF", "c.Vcf", "d.vcf"};
    for (int i = 0; i < files; ++i)
        writeFile(inDir + u'/' + QLatin1String(names[i]),
                  input.sliced(i * part, i + 1 == files ? input.size() - i * part : part));
    if (more & 0x80)
        QDir().mkpath(inDir + QStringLiteral("/e.vcf"));
}

// Empties the run's folder, then makes the input, output, photo and logo folders and writes
// the input file(s).
inline RunFolders makeRunFolders(Action action, uint8_t more, QByteArrayView input) {
    RunFolders f;
    f.base = root + QStringLiteral("/base");
    f.dir = f.base + QStringLiteral("/run");
    QDir(f.dir).removeRecursively();
    f.inDir = f.dir + QStringLiteral("/in");
    f.outDir = f.dir + QStringLiteral("/out");
    f.photos = f.dir + QStringLiteral("/photos");
    f.logos = f.dir + QStringLiteral("/logos");
    QDir().mkpath(f.inDir);
    QDir().mkpath(f.outDir);
    makePictures(f.photos);
    makePictures(f.logos);

    f.inputFile = f.inDir + QStringLiteral("/input.vcf");
    if (action == Action::PhoneBook)
        f.inputFile = f.inDir + QStringLiteral("/Phonebook.dat");
    if (action == Action::Merge)
        writeMergeInput(f.inDir, more, input);
    else
        writeFile(f.inputFile, input);
    return f;
}

// The window as a user fills it: the action, a box for each option bit, and the paths.
inline void fillWindow(FakeWindow& w, Action action, uint8_t options, const RunFolders& f) {
    w.selectAction(action == Action::Contacts ? Ctrl::R_SVCFToContacts
                   : action == Action::Split  ? Ctrl::R_SVCFToMVCF
                   : action == Action::Merge  ? Ctrl::R_MVCFToSVCF
                                              : Ctrl::R_MyPhonePhoto);
    w.checks[Ctrl::C_Photo] = options & 1;
    w.checks[Ctrl::C_Logos] = options & 2;
    w.checks[Ctrl::C_TagX] = options & 4;
    w.checks[Ctrl::C_TagSync] = options & 8;
    w.checks[Ctrl::C_TagLabel] = options & 16;
    w.checks[Ctrl::C_MyPhoneIn] = options & 32;
    w.checks[Ctrl::C_MyphoneOut] = options & 64;
    w.edits[Ctrl::E_InputFiles] = f.inputFile;
    w.edits[Ctrl::E_RepDest] = f.outDir;
    w.edits[Ctrl::E_RepEntree] = f.inDir;
    w.edits[Ctrl::E_RepPhotos] = f.photos;
    w.edits[Ctrl::E_RepLogos] = f.logos;
}

// Presses Run in the window, in French or English. An unreadable input is reported by the
// front end, and nothing may have been written.
inline void pressRunIn(FakeWindow& w, uint8_t options, const QString& outDir) {
    // The Run button's work goes on a worker thread, its end comes through the event loop.
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    TF_Principal p(w);
    p.seed = 1;
    p.Langue = (options & 128) ? Language::French : Language::English;
    try {
        pressRun(p);
        p.rethrowRunError();
    } catch (const KzError& e) {
        FUZZ_CHECK(p.lastReport().outcome == RunReport::Outcome::Error);
        FUZZ_CHECK(snapshot(outDir).isEmpty());
    }
}

// No run changes the process's current folder or puts anything outside the run's folder.
inline void checkNothingOutside(const RunFolders& f, const QString& cwdBefore) {
    const QString cwdAfter = QDir::currentPath();
    FUZZ_CHECK(QDir::setCurrent(root + QStringLiteral("/cwd")));
    FUZZ_CHECK(cwdAfter == cwdBefore);

    const QStringList top = QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    FUZZ_CHECK(top == QStringList({"base", "cwd", "home"}));
    FUZZ_CHECK(snapshot(root + QStringLiteral("/cwd")).isEmpty());
    FUZZ_CHECK(snapshot(root + QStringLiteral("/home")).isEmpty());
    FUZZ_CHECK(QDir(f.base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot) ==
               QStringList{"run"});
    FUZZ_CHECK(QDir(f.dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot) ==
               QStringList({"in", "logos", "out", "photos"}));
}

// The input folder is as it was. A phone book run may only change the cache folder (with one
// picture per plain X-IRMC-LUID) and, in place, the book.
inline void checkInputFolder(Action action, bool inPlace, const QMap<QString, QByteArray>& inBefore,
                             const QString& inDir) {
    auto inAfter = snapshot(inDir);
    if (action == Action::PhoneBook) {
        for (auto it = inAfter.begin(); it != inAfter.end();) {
            const bool cache = it.key() == QLatin1String("ImageCache") ||
                               (it.key().startsWith(QLatin1String("ImageCache/")) && it.key().count(u'/') == 1 &&
                                it.key().endsWith(QLatin1String(".dat")));
            if (cache || (inPlace && it.key() == QLatin1String("Phonebook.dat")))
                it = inAfter.erase(it);
            else
                ++it;
        }
        if (inPlace)
            inAfter.insert(QStringLiteral("Phonebook.dat"), inBefore.value(QStringLiteral("Phonebook.dat")));
    }
    expectSame("input folder", inBefore, inAfter);
}

// A .contact output is a well-formed XML document.
inline void checkContactFile(const QString& path, const QString& name) {
    FUZZ_CHECK(name.endsWith(QLatin1String(".contact")));
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::ReadOnly));
    QString error;
    if (!validXml(f.readAll(), &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(error));
        FUZZ_CHECK(!"well-formed .contact document");
    }
}

// The outputs: complete files only (no temporary file left), contacts as well-formed XML.
inline void checkOutputs(Action action, const QString& outDir, const QString& merged, const QString& book,
                         bool inPlace) {
    const QStringList outputs =
        QDir(outDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : outputs) {
        const QString path = outDir + u'/' + name;
        FUZZ_CHECK(QFileInfo(path).isFile());
        switch (action) {
        case Action::Contacts:
            checkContactFile(path, name);
            break;
        case Action::Split:
            FUZZ_CHECK(name.endsWith(QLatin1String(".VCF")));
            break;
        case Action::Merge:
            FUZZ_CHECK(path == merged);
            break;
        case Action::PhoneBook:
            FUZZ_CHECK(!inPlace && path == book);
            break;
        }
    }
}

// Input bytes: [options] [merge: file count] the input file(s).
inline int run(Action action, const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const uint8_t options = in.byte();
    const uint8_t more = in.byte();
    const RunFolders f = makeRunFolders(action, more, in.rest());

    FakeWindow w;
    fillWindow(w, action, options, f);
    // The merge writes a new file; the phone book is written in place (after the overwrite
    // question) or beside itself.
    const QString merged = f.outDir + QStringLiteral("/merged.vcf");
    const bool inPlace = !(more & 1);
    const QString book = inPlace ? f.inputFile : f.outDir + QStringLiteral("/Phonebook.dat");
    w.saveAnswers.enqueue(action == Action::Merge ? merged : book);
    w.boxAnswers.enqueue(MsgResult::Yes);

    const auto photosBefore = snapshot(f.photos), logosBefore = snapshot(f.logos);
    const auto inBefore = snapshot(f.inDir);
    const QString cwdBefore = QDir::currentPath();
    pressRunIn(w, options, f.outDir);

    checkNothingOutside(f, cwdBefore);
    // Nothing changed where the run only reads.
    expectSame("photos", photosBefore, snapshot(f.photos));
    expectSame("logos", logosBefore, snapshot(f.logos));
    checkInputFolder(action, inPlace, inBefore, f.inDir);
    checkOutputs(action, f.outDir, merged, book, inPlace);
    return 0;
}

} // namespace harness
