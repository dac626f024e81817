#pragma once

#include <QString>
#include <stdexcept>

namespace zento {

// The program's failures travel as exceptions; what() is the message in UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message) : std::runtime_error(message.toUtf8().toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// The message of any exception, as the user is to read it.
inline QString ExceptionMessage(const std::exception &e)
{
    if (const auto *error = dynamic_cast<const Error *>(&e))
        return error->message();
    return QString::fromUtf8(e.what());
}

// Fills the one "%s" or "%d" of a fixed message.
inline QString FormatMessage(QString format, const QString &argument)
{
    qsizetype at = format.indexOf(QLatin1String("%s"));
    if (at < 0)
        at = format.indexOf(QLatin1String("%d"));
    if (at >= 0)
        format.replace(at, 2, argument);
    return format;
}

} // namespace zento
