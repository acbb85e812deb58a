// The background writer of per-card files, on its thread or in the caller's when there is none:
// order, failures, what happens after a failure, and the buffers given back. Each test runs with
// new files made in one step where the system can, and made the portable way.
#include "kzlex/errors.h"
#include "kzlex/filewriter.h"
#include "kzlex/streamedfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <new>
#include <optional>

class TestFileWriter : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir; // a fresh one for each test
    FileAccess m_access = FileAccess::Quick; // the row's way of making files

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Names 0.txt ... (count-1).txt in `folder`; the one at `bad` goes to a missing folder.
    void queue(FileWriter& writer, const QString& folder, int count, int bad) {
        QVERIFY(QDir().mkpath(path(folder)));
        for (int i = 0; i < count; ++i) {
            const QString name = i == bad ? QStringLiteral("missing/%1.txt").arg(i) : QStringLiteral("%1.txt").arg(i);
            if (i % 2)
                writer.write(path(folder + u'/' + name), QByteArray::number(i));
            else
                writer.writeUtf8(path(folder + u'/' + name), QStringLiteral("é%1").arg(i));
        }
    }

private slots:
    // Every test runs with the writing thread and without, each with both ways of making a file.
    void initTestCase_data() {
        QTest::addColumn<Threading>("threading");
        QTest::addColumn<bool>("quick");
        QTest::newRow("thread, one step") << Threading::Own << true;
        QTest::newRow("thread, portable") << Threading::Own << false;
        QTest::newRow("caller, one step") << Threading::Caller << true;
        QTest::newRow("caller, portable") << Threading::Caller << false;
    }
    void init() {
        QFETCH_GLOBAL(bool, quick);
        m_access = quick ? FileAccess::Quick : FileAccess::Portable;
        m_dir.emplace();
    }

    void writesEveryFileInOrder() {
        QFETCH_GLOBAL(Threading, threading);
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
        queue(writer, QStringLiteral("all"), 200, -1);
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(QDir(path(QStringLiteral("all"))).entryList(QDir::Files | QDir::Hidden).size(), 200);
        QCOMPARE(read(QStringLiteral("all/7.txt")), QByteArray("7"));
        QCOMPARE(read(QStringLiteral("all/8.txt")), QByteArray("\xC3\xA9"
                                                               "8"));
    }

    // Files for several folders, in turns, each land in their own; a folder removed and made
    // again on the way gets the files meant for it after that.
    void filesFollowTheirFolders() {
        QFETCH_GLOBAL(Threading, threading);
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
        for (const QString& f : {QStringLiteral("x"), QStringLiteral("y")})
            QVERIFY(QDir().mkpath(path(f)));
        for (int i = 0; i < 6; ++i)
            writer.write(path(QStringLiteral("%1/%2.txt").arg(i % 3 == 1 ? QStringLiteral("y") : QStringLiteral("x")).arg(i)), QByteArray::number(i));
        writer.waitAll();
        QVERIFY(QDir(path(QStringLiteral("x"))).removeRecursively());
        QVERIFY(QDir().mkpath(path(QStringLiteral("x"))));
        writer.write(path(QStringLiteral("x/6.txt")), "6");
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(QDir(path(QStringLiteral("x"))).entryList(QDir::Files), QStringList{"6.txt"});
        QCOMPARE(QDir(path(QStringLiteral("y"))).entryList(QDir::Files), (QStringList{"1.txt", "4.txt"}));
        QCOMPARE(read(QStringLiteral("x/6.txt")), QByteArray("6"));
    }

    void failures_data() {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<int>("written"); // files in the folder afterwards
        QTest::newRow("continue") << false << 49;
        QTest::newRow("drop") << true << 10;
    }
    // A failed file is reported with its name; the files after it are written or dropped.
    void failures() {
        QFETCH_GLOBAL(Threading, threading);
        QFETCH(bool, drop);
        QFETCH(int, written);
        const QString folder = drop ? QStringLiteral("drop") : QStringLiteral("continue");
        FileWriter writer(drop ? FileWriter::OnFailure::Drop : FileWriter::OnFailure::Continue, threading, m_access);
        queue(writer, folder, 50, 10);
        writer.waitAll();
        const std::vector<std::exception_ptr> failures = writer.takeFailures();
        QCOMPARE(failures.size(), size_t(1));
        try {
            std::rethrow_exception(failures.front());
        } catch (const FileWriteError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("missing/10.txt")), qPrintable(e.message()));
        }
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(QDir(path(folder)).entryList(QDir::Files | QDir::Hidden).size(), written);
    }

    // A name already there: a file is replaced, and so is a link, even one to a missing file
    // (the run's own names are never written through a link); a folder is refused with the same
    // message both ways, and no temporary file is left.
    void existingNames() {
        QFETCH_GLOBAL(Threading, threading);
        const QString folder = path(QStringLiteral("taken"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/folder.txt")));
        QFile old(folder + QStringLiteral("/file.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QStringList names{QStringLiteral("new.txt"), QStringLiteral("file.txt"), QStringLiteral("folder.txt")};
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(folder + QStringLiteral("/nowhere.txt"), folder + QStringLiteral("/dangling.txt")));
        names.append(QStringLiteral("dangling.txt"));
#endif
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
        for (const QString& name : names)
            writer.write(folder + u'/' + name, "new " + name.toUtf8());
        writer.waitAll();
        QStringList messages;
        for (const std::exception_ptr& failure : writer.takeFailures()) {
            try {
                std::rethrow_exception(failure);
            } catch (const FileWriteError& e) {
                messages.append(QString(e.message()).replace(folder, QStringLiteral("DIR")));
            }
        }
        QCOMPARE(messages, QStringList{"Cannot create \"DIR/folder.txt\": Filename refers to a directory"});
        QCOMPARE(read(QStringLiteral("taken/new.txt")), QByteArray("new new.txt"));
        QCOMPARE(read(QStringLiteral("taken/file.txt")), QByteArray("new file.txt"));
#ifdef Q_OS_UNIX
        QVERIFY(!QFileInfo(folder + QStringLiteral("/dangling.txt")).isSymLink());
        QCOMPARE(read(QStringLiteral("taken/dangling.txt")), QByteArray("new dangling.txt"));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/nowhere.txt")));
#endif
        // What was there and what was written, nothing more (the link is not followed).
        names.sort();
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), names);
    }

    // Files still waiting when the writer goes are written first.
    void endingWritesWhatWaits() {
        QFETCH_GLOBAL(Threading, threading);
        {
            FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
            queue(writer, QStringLiteral("end"), 100, -1);
        }
        QCOMPARE(QDir(path(QStringLiteral("end"))).entryList(QDir::Files | QDir::Hidden).size(), 100);
    }

    // Buffers come back emptied, with their room, for the next files; one the caller still
    // shares is left as it was.
    void sparesComeBackEmpty() {
        QFETCH_GLOBAL(Threading, threading);
        QVERIFY(QDir().mkpath(path(QStringLiteral("spares"))));
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
        QCOMPARE(writer.spareBytes().capacity(), 0);
        QByteArray kept(5000, 'k');
        QString keptText(5000, u'é');
        writer.write(path(QStringLiteral("spares/shared.txt")), kept);
        writer.writeUtf8(path(QStringLiteral("spares/shared-text.txt")), keptText);
        for (int i = 0; i < 3; ++i) {
            writer.write(path(QStringLiteral("spares/%1.txt").arg(i)), QByteArray(4000, char('a' + i)));
            writer.writeUtf8(path(QStringLiteral("spares/%1-text.txt").arg(i)), QString(4000, QChar(u'α' + i)));
        }
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        QCOMPARE(kept, QByteArray(5000, 'k'));
        QCOMPARE(keptText, QString(5000, u'é'));
        QCOMPARE(read(QStringLiteral("spares/2.txt")), QByteArray(4000, 'c'));
        for (int i = 0; i < 3; ++i) {
            const QByteArray bytes = writer.spareBytes();
            QVERIFY(bytes.isEmpty());
            QVERIFY(bytes.capacity() >= 4000);
            const QString text = writer.spareText();
            QVERIFY(text.isEmpty());
            QVERIFY(text.capacity() >= 4000);
        }
    }

    // A conversion's loop: each buffer handed over comes back emptied, with room for as much,
    // and refilling it changes no file still waiting.
    void writeReusing() {
        QFETCH_GLOBAL(Threading, threading);
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
        auto byteFill = [](int i) { return char('a' + i % 26); };
        auto textFill = [](int i) { return QChar(u'α' + i % 20); };
        QByteArray bytes;
        QString text;
        for (int i = 0; i < 100; ++i) {
            bytes.fill(byteFill(i), 3000 + i);
            bytes = writer.writeReusing(path(QStringLiteral("%1.bin").arg(i)), std::move(bytes));
            QVERIFY(bytes.isEmpty());
            QVERIFY(bytes.capacity() >= 3000 + i);
            text.fill(textFill(i), 2000 + i);
            text = writer.writeUtf8Reusing(path(QStringLiteral("%1.txt").arg(i)), std::move(text));
            QVERIFY(text.isEmpty());
            QVERIFY(text.capacity() >= 2000 + i);
        }
        writer.waitAll();
        QVERIFY(writer.takeFailures().empty());
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(read(QStringLiteral("%1.bin").arg(i)), QByteArray(3000 + i, byteFill(i)));
            QCOMPARE(read(QStringLiteral("%1.txt").arg(i)), QString(2000 + i, textFill(i)).toUtf8());
        }
    }
    // What ends the writing thread (memory running out where nothing else catches it) is thrown
    // by the caller's next call, never std::terminate, and nobody waits for the thread for ever:
    // not a writer held back by a full queue, not waitAll(). The files before it are whole.
    // A path of over 260 characters, the old limit of Windows paths: new and replaced files,
    // and a large file put together in its folder, all land there.
    void longPaths() {
        QString folder = QStringLiteral("deep");
        while (path(folder).size() < 300)
            folder += QStringLiteral("/dossier-%1").arg(folder.size());
        QVERIFY(QDir().mkpath(path(folder)));
        const QString name = path(folder + QStringLiteral("/00001 Dupont Jean.VCF"));
        QVERIFY(name.size() > 260);
        QFETCH_GLOBAL(Threading, threading);
        {
            FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access);
            writer.write(name, "first");
            auto big = std::make_unique<StreamedFile>(path(folder));
            big->append(QByteArrayView("put together"));
            writer.place(name + QStringLiteral(".contact"), std::move(big));
            writer.waitAll();
            QCOMPARE(writer.takeFailures().size(), size_t(0));
        }
        WriteFileAtomic(name, "second", WriteTarget::RunNamed, m_access);
        QCOMPARE(read(folder + QStringLiteral("/00001 Dupont Jean.VCF")), QByteArray("second"));
        QCOMPARE(read(folder + QStringLiteral("/00001 Dupont Jean.VCF.contact")), QByteArray("put together"));
        QCOMPARE(QDir(path(folder)).count(), 4u); // the two files, "." and ".."
    }

    void writingThreadFailure() {
        QFETCH_GLOBAL(Threading, threading);
        if (threading == Threading::Caller)
            QSKIP("no writing thread");
        std::atomic<int> done{0};
        FileWriter writer(FileWriter::OnFailure::Continue, threading, m_access, [&] {
            if (++done == 3)
                throw std::bad_alloc();
        });
        QVERIFY(QDir().mkpath(path(QStringLiteral("out"))));
        bool thrown = false;
        int queued = 0;
        try {
            // More than the queue holds: a writer that waits for room is woken by the failure.
            for (; queued < 200; ++queued)
                writer.write(path(QStringLiteral("out/%1.txt").arg(queued)), QByteArray::number(queued));
            writer.waitAll();
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        QVERIFY(thrown);
        QVERIFY(queued < 200);
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, writer.waitAll()); // and again, not a wait
        QCOMPARE(writer.written(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(read(QStringLiteral("out/%1.txt").arg(i)), QByteArray::number(i));
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
