#pragma once
// Errors raised by the toolkit and the conversions. The driver turns each one into the
// log line "-> " + kind() + " Err " + message(language).
#include "kzlex/messages.h"
#include <QString>
#include <QStringList>
#include <exception>
#include <type_traits>

class KzError : public std::exception {
public:
    // A text from elsewhere (a library's reason, std::exception::what()): the same in both languages.
    explicit KzError(QString message)
        : m_message(std::move(message)), m_french(m_message), m_utf8(m_message.toUtf8()) {}
    // A text of the catalogue; the arguments are strings or numbers.
    KzError(Msg text, const QStringList& args)
        : m_message(Mess(Language::English, text, args)), m_french(Mess(Language::French, text, args)),
          m_utf8(m_message.toUtf8()) {}
    template <typename... Args>
    explicit KzError(Msg text, const Args&... args) : KzError(text, QStringList{argument(args)...}) {}

    virtual QString kind() const = 0;
    // The message in English.
    const QString& message() const { return m_message; }
    // The message in `language`.
    const QString& message(Language language) const { return language == Language::French ? m_french : m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    // The error line as the log shows it. Only the message is translated: " Err " and the kind
    // stay, since scripts read the log's error lines.
    QString errorLine() const { return errorLine(Language::English); }
    QString errorLine(Language language) const {
        return QStringLiteral("-> ") + kind() + QStringLiteral(" Err ") + message(language);
    }

private:
    static QString argument(const QString& s) { return s; }
    template <typename T> static QString argument(T n) requires std::is_arithmetic_v<T> { return QString::number(n); }

    QString m_message;
    QString m_french;
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
// A run stopped because the window is closing or the user asked for it.
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
    explicit NoCardError(const QString& fileName) : KzError(Msg::NoCard, fileName) {}
    QString kind() const override { return QStringLiteral("NoCard"); }
};
