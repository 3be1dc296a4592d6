#include "app/storecheck.h"

#include "app/fileaccess.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Nesting of the actions under way; GUI thread only.
int s_actionDepth = 0;
// The warning box is shown once in a run, not on every write.
bool s_warned = false;
// Keeps the store's contents in memory; ends with the application object.
QPointer<QSettings> s_held;
// The store file a StoreGuard keeps the settings away from, and why; empty
// while none does.
QString s_divertedFile;
QString s_divertedReason;
// The formats whose user folder a StoreGuard moves: the native one is the INI
// format here, but each has its own entry.
const QSettings::Format SETTINGS_FORMATS[] = { QSettings::NativeFormat, QSettings::IniFormat };

void hold()
{
    if (!s_held && QCoreApplication::instance())
        s_held = new QSettings(QCoreApplication::instance());
}

QString failureMessage(const QString& file, const QString& reason)
{
    return QStringLiteral("The preference file \"%1\" could not be saved: %2.").arg(file, reason);
}

// A test write at least this large tells a disk that is nearly full; a full
// store is about 60 KB.
constexpr qint64 TEST_WRITE_MIN_BYTES = 64 * 1024;

// Whether file holds at least keys whole lines of "key=value": QSettings
// writes one line per key, with "[section]" lines between. A file that is
// cut short has fewer; one that another copy of the program wrote since has
// as many or more, ours merged in.
bool complete(const QString& file, int keys)
{
    if (keys == 0)
        return true;
    QFile store;
    bool refused = false;
    QString reason;
    if (!fileaccess::openRegular(file, store, &refused, &reason))
        return false;
    QList<QByteArray> lines = store.readAll().split('\n');
    // What follows the last line break: nothing, or a line cut short.
    lines.removeLast();
    return std::count_if(lines.cbegin(), lines.cend(), [](const QByteArray& line) { return line.contains('='); })
        >= keys;
}

// Flushes the store. Empty when the changes reached the disk, else the
// message. With checkWritable a store that cannot be written counts as a
// failure even when nothing waited to be written (the changes may have been
// dropped already).
QString flushFailure(bool checkWritable)
{
    if (!s_divertedFile.isEmpty())
        return failureMessage(s_divertedFile, s_divertedReason);
    // Building the instance already tries again what an earlier flush could not write.
    QSettings settings;
    settings.sync();
    // The status misses a write that a full disk cut short: QSaveFile does not
    // check the flush of its last buffered bytes (up to 16 KiB, a whole small
    // store) and puts the cut file in the old one's place. So the file is read
    // back; the keys counted are this file's only, without the fallback files.
    settings.setFallbacksEnabled(false);
    const QString file = settings.fileName();
    // The next flush that has a change writes the whole store from memory again.
    const bool failed = settings.status() == QSettings::AccessError || !complete(file, settings.allKeys().size());
    if (!failed && !checkWritable)
        return QString();
    // Only a failed write earns the test write, which finds a full disk.
    QString reason = fileaccess::writeProblem(file, qMax(QFileInfo(file).size(), TEST_WRITE_MIN_BYTES), failed);
    if (failed && reason.isEmpty())
        reason = QStringLiteral("writing it failed");
    return reason.isEmpty() ? QString() : failureMessage(file, reason);
}

// Shows the first failure of a run in a warning box over parent; later ones
// only reach the debug output through the flush at exit.
void warnOnce(QWidget* parent, const QString& message)
{
    if (message.isEmpty() || s_warned)
        return;
    s_warned = true;
    qWarning().noquote() << message;
    const QString outcome = s_divertedFile.isEmpty()
        ? QStringLiteral("Your changes are kept while the application runs, and saved as soon as the file can be "
                         "written again.")
        : QStringLiteral("The application starts with its default settings, and keeps your changes only while it "
                         "runs.");
    QMessageBox::warning(parent, QStringLiteral("Preferences Not Saved"), message + QStringLiteral("\n\n") + outcome);
}

} // namespace

namespace storecheck {

StoreGuard::StoreGuard()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString organisation = folder + QLatin1Char('/') + QCoreApplication::organizationName();
    // Every instance reads both: the application's file and the organisation's.
    const QString files[] = {
        organisation + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".conf"),
        organisation + QStringLiteral(".conf"),
    };
    for (const QString& file : files) {
        const QString kind = fileaccess::specialKind(file);
        if (kind.isEmpty())
            continue;
        s_divertedFile = file;
        s_divertedReason = kind;
        m_userPath = folder;
        for (QSettings::Format format : SETTINGS_FORMATS)
            QSettings::setPath(format, QSettings::UserScope, fileaccess::nowhere());
        // Nothing can be written there: the run's changes live in memory.
        hold();
        return;
    }
}

StoreGuard::~StoreGuard()
{
    if (!diverted())
        return;
    delete s_held;
    for (QSettings::Format format : SETTINGS_FORMATS)
        QSettings::setPath(format, QSettings::UserScope, m_userPath);
    s_divertedFile.clear();
    s_divertedReason.clear();
}

Action::Action(QWidget* parent)
    : m_parent(parent)
{
    hold();
    ++s_actionDepth;
}

Action::~Action()
{
    if (--s_actionDepth > 0)
        return;
    warnOnce(m_parent, flushFailure(false));
}

void checkAtStart(QWidget* parent)
{
    hold();
    warnOnce(parent, flushFailure(true));
}

void flushAtExit()
{
    const QString message = flushFailure(true);
    if (!message.isEmpty())
        qWarning().noquote() << "Settings written at exit are lost." << message;
}

} // namespace storecheck
