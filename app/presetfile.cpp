#include "app/presetfile.h"

#include "app/fileaccess.h"
#include "app/presetstore.h"

#include <cerrno>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const LAST_DIR_KEY = "prefs/last_export_dir";
const char* const LAST_FILE_KEY = "prefs/last_export_file";

bool refuse(const QString& path, const QString& reason, QString* error)
{
    *error = QStringLiteral("\"%1\" is not a preset file: %2.").arg(QDir::toNativeSeparators(path), reason);
    qWarning().noquote() << *error;
    return false;
}

bool writeFailed(const QString& path, const QString& reason, QString* error)
{
    *error = QStringLiteral("The preset file \"%1\" could not be written: %2.")
                 .arg(QDir::toNativeSeparators(path), reason);
    qWarning().noquote() << *error;
    return false;
}

} // namespace

namespace presetfile {

bool write(const QString& path, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return writeFailed(path, QStringLiteral("its folder cannot be created"), error);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Couldn't open save file.";
        return writeFailed(path, file.errorString(), error);
    }
    QJsonObject object;
    presetstore::prefToJson(object);
    const QByteArray text = QJsonDocument(object).toJson();
    // QSaveFile::commit() does not notice a failed flush of the last buffered
    // bytes and would put a cut file in place: the flush is checked here.
    if (file.write(text) != text.size() || !file.flush()) {
        const QString reason = qt_error_string(errno);
        file.cancelWriting();
        return writeFailed(path, reason, error);
    }
    if (!file.commit())
        return writeFailed(path, file.errorString(), error);
    return true;
}

bool read(const QString& path, QString* error)
{
    // A named pipe or a device is refused before it is opened: reading one
    // could wait for ever, or never end.
    QFile file;
    bool refused = false;
    QString reason;
    if (!fileaccess::openRegular(path, file, &refused, &reason)) {
        if (refused)
            return refuse(path, reason, error);
        qWarning() << "Couldn't open selected file.";
        *error = QStringLiteral("The preset file \"%1\" could not be opened: %2.")
                     .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    // One byte beyond the limit tells a file that is too large, whatever its reported size.
    const QByteArray bytes = file.read(presetstore::FILE_MAX_BYTES + 1);
    if (bytes.size() > presetstore::FILE_MAX_BYTES)
        return refuse(path, QStringLiteral("it is larger than 4 MiB"), error);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refuse(
            path, QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset), error);
    if (!document.isObject())
        return refuse(path, QStringLiteral("it does not hold one JSON object"), error);
    if (!presetstore::jsonToPref(document.object()))
        return refuse(path, QStringLiteral("it holds no preset"), error);
    return true;
}

void pathLastFileSet(LocationType type, const QString& path)
{
    if (type == LocationPresetFile)
        QSettings().setValue(QLatin1String(LAST_FILE_KEY), path);
}

void pathLastDirSet(LocationType type, const QString& path)
{
    if (type == LocationPresetFile)
        QSettings().setValue(QLatin1String(LAST_DIR_KEY), path);
}

QString pathLastDir(LocationType type)
{
    QString text;
    if (type == LocationPresetFile)
        text = QSettings().value(QLatin1String(LAST_DIR_KEY)).toString();
    if (text.isEmpty())
        return pathDefault();
    return QDir(text).absolutePath();
}

QString pathDefault()
{
    return QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation).value(0);
}

} // namespace presetfile
