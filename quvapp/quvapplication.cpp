#include "quvapp/quvapplication.h"

#include "quvapp/quvplatform.h"

namespace {

// The longest version text kept, in bytes of UTF-8 (a 64-byte buffer with its NUL).
constexpr int kVersionMaxBytes = 63;
// The longest information text kept, in bytes of UTF-8.
constexpr int kInfoMaxBytes = 1023;

// The text cut to at most maxBytes of UTF-8, never inside a character.
QString truncatedUtf8(const QString& text, int maxBytes)
{
    QString result;
    int bytes = 0;
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        bytes += character.toUtf8().size();
        if (bytes > maxBytes)
            break;
        result += character;
        i += length;
    }
    return result;
}

} // namespace

QuvApplication::QuvApplication(int& argc, char** argv, QuvStyleLook look)
    : QApplication(argc, argv)
    , m_style(new QuvStyle(look))
{
    setStyle(m_style);
    setPalette(m_style->standardPalette());
    setStyleSheet(m_style->getStyleSheet());
}

QString QuvApplication::getStyleSheet()
{
    return m_style->getStyleSheet();
}

void QuvApplication::updateStyleSheet()
{
    setStyleSheet(m_style->getStyleSheet());
}

QJsonDocument QuvApplication::GetLinuxAppInfo(QString name)
{
    Q_UNUSED(name)
    return QJsonDocument();
}

QString QuvApplication::GetPlatformSpecificVersionString(QString fallback, QString bundleId)
{
    Q_UNUSED(bundleId)
    if (const std::optional<QString> version = quvplatform::bundleVersionString())
        return truncatedUtf8(*version, kVersionMaxBytes);
    return fallback;
}

QString QuvApplication::GetPlatformSpecificCopyrightString(QString fallback, QString bundleId)
{
    QString text = fallback;
    if (const std::optional<QString> info = quvplatform::bundleInfoString())
        text = truncatedUtf8(*info, kInfoMaxBytes);
    // An empty version would match everywhere; there is nothing to remove then.
    const QString version = GetPlatformSpecificVersionString(QString(), bundleId);
    if (!version.isEmpty())
        text.remove(version, Qt::CaseSensitive);
    text.replace(QStringLiteral("(C)"), QString(QChar(0x00A9)), Qt::CaseSensitive);
    return text;
}
