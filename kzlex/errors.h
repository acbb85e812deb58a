#pragma once
// Errors raised by the toolkit and the conversions. The driver turns each one into the
// log line "-> " + kind() + " Err " + message().
#include <QString>
#include <exception>

class KzError : public std::exception {
public:
    explicit KzError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    virtual QString kind() const = 0;
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    // The error line as the log shows it.
    QString errorLine() const { return QStringLiteral("-> ") + kind() + QStringLiteral(" Err ") + m_message; }

private:
    QString m_message;
    QByteArray m_utf8;
};

#define KZ_DECLARE_ERROR(Name)                                                                                         \
    class Name : public KzError {                                                                                      \
    public:                                                                                                            \
        using KzError::KzError;                                                                                        \
        QString kind() const override { return QStringLiteral(#Name); }                                                \
    };

// A file that exists but cannot be opened or read, or holds a NUL character.
KZ_DECLARE_ERROR(FileReadError)
// A file that cannot be created, written or renamed into place.
KZ_DECLARE_ERROR(FileWriteError)
// A file marked as UTF-8 or UTF-16 whose bytes do not decode.
KZ_DECLARE_ERROR(EncodingError)
// A run stopped because the window is closing.
KZ_DECLARE_ERROR(RunStopped)
// A card that starts before the previous card of the file has ended.
KZ_DECLARE_ERROR(CardStructureError)
// A value that cannot serve as a file name (a phone-book picture name holding a path).
KZ_DECLARE_ERROR(FileNameError)
// Memory ran out during the run.
KZ_DECLARE_ERROR(OutOfMemory)

// Any other failure that ended the run.
class GenericError : public KzError {
public:
    using KzError::KzError;
    QString kind() const override { return QStringLiteral("Error"); }
};

// A conversion input that holds no BEGIN:VCARD line at all: a text file that is no vCard.
class NoCardError : public KzError {
public:
    explicit NoCardError(const QString& fileName)
        : KzError(QStringLiteral("\"%1\" holds no BEGIN:VCARD line: it is not a vCard file, and no card was written")
                      .arg(fileName)) {}
    QString kind() const override { return QStringLiteral("NoCard"); }
};
