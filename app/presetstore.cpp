#include "app/presetstore.h"

#include "device/deviceinterface.h"
#include "device/viscavalues.h"

#include <climits>
#include <cmath>

#include <QDebug>
#include <QJsonObject>
#include <QSettings>
#include <QVector>

namespace presetstore {

const char* const UNTITLED = "untitled";
const char* const PRESET_TYPE_KEY = "prefs/presetType_selected";
const char* const PRESET_INDEX_KEY = "prefs/presetIndex_selected";
const char* const SAVED_PRESET_KEY = "prefs/saved_preset";

} // namespace presetstore

namespace {

using presetstore::PRESET_COUNT;

const char* const EPTZ_PAN_KEY = "Eptz%1_visca_ept_position_pan";
const char* const EPTZ_TILT_KEY = "Eptz%1_visca_ept_position_tilt";
const char* const ZOOM_SPEED_KEY = "Global%1_zoom_speed_val1";

// The output formats a Global snapshot keeps; only preset files carry them back.
struct OutputFormat
{
    int msg;
    const char* key;
};
const OutputFormat OUTPUT_FORMATS[] = {
    { ViscaMsg::VideoFormat, "Global%1_visca_video_format_val1" },
    { ViscaMsg::ColorSpace, "Global%1_visca_color_space_val1" },
    { ViscaMsg::DelayMode, "Global%1_visca_delay_mode_val1" },
};

// The kinds a preset file carries, in the order a file is written and read.
const PresetType FILE_TYPES[] = { PresetTypeGlobal, PresetTypeEptz };

// The messages a Global preset keeps, in ascending order.
const QVector<int>& presetMessages()
{
    static const QVector<int> messages = [] {
        QVector<int> list;
        for (int msg = 0; msg < ViscaMsg::Count; ++msg) {
            if (DeviceInterface::viscaIsPreset(msg))
                list.append(msg);
        }
        return list;
    }();
    return messages;
}

// One key of a preset besides its available key; "%1" stands for the index.
struct Field
{
    QString pattern;
    bool isName;
    int exportDefault; // written to a file when the store lacks the key
};

QString keyOf(const QString& pattern, int index)
{
    return pattern.arg(index);
}

QString keyOf(const char* pattern, int index)
{
    return keyOf(QString::fromLatin1(pattern), index);
}

const QVector<Field>& fieldsOf(PresetType type)
{
    static const QVector<Field> global = [] {
        QVector<Field> fields;
        for (int msg : presetMessages()) {
            const QString stem = QStringLiteral("Global%1_") + DeviceInterface::viscaPresetName(msg);
            fields.append({ stem + QStringLiteral("_val1"), false, 0 });
            fields.append({ stem + QStringLiteral("_val2"), false, -1 });
        }
        fields.append({ QStringLiteral("Global%1_preset_name"), true, 0 });
        for (const OutputFormat& format : OUTPUT_FORMATS)
            fields.append({ QString::fromLatin1(format.key), false, 0 });
        fields.append({ QString::fromLatin1(ZOOM_SPEED_KEY), false, 0 });
        return fields;
    }();
    static const QVector<Field> eptz = {
        { QStringLiteral("Eptz%1_preset_name"), true, 0 },
        { QString::fromLatin1(EPTZ_PAN_KEY), false, 0 },
        { QString::fromLatin1(EPTZ_TILT_KEY), false, 0 },
    };
    return type == PresetTypeGlobal ? global : eptz;
}

// A JSON value as an int, when it is a whole number in range.
bool wholeNumber(const QJsonValue& value, int& number)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (!(d >= INT_MIN && d <= INT_MAX) || std::trunc(d) != d)
        return false;
    number = int(d);
    return true;
}

// What a preset file says about one preset's available key.
enum class Mention
{
    Absent,
    Unset,
    Set,
    Unusable,
};

Mention mentionOf(const QJsonObject& object, const QString& key)
{
    if (!object.contains(key))
        return Mention::Absent;
    int on = 0;
    if (!wholeNumber(object.value(key), on))
        return Mention::Unusable;
    return on != 0 ? Mention::Set : Mention::Unset;
}

// Whether a write failed for want of an answer: the line is down, or no
// reply packet ended within its budget (a silent camera, or one that sends
// bytes without a terminator).
bool noAnswer(uint32_t error)
{
    switch (error) {
    case VISCA_ERROR_CLOSED:
    case VISCA_ERROR_WRITE:
    case VISCA_ERROR_TIMEOUT:
    case VISCA_ERROR_OVERFLOW:
    case VISCA_ERROR_IO:
        return true;
    default:
        return false;
    }
}

// Why a Global recall skips a message the camera answered.
const char* skipReason(uint32_t error)
{
    switch (error) {
    case VISCA_ERROR_REFUSED:
        return "its values cannot be sent";
    case VISCA_ERROR_ERROR_REPLY:
        return "the camera refused it";
    default:
        return "the camera's reply could not be read";
    }
}

} // namespace

QString presetTypeString(PresetType type)
{
    switch (type) {
    case PresetTypeEptz:
        return QStringLiteral("Eptz");
    case PresetTypeGlobal:
        return QStringLiteral("Global");
    case PresetTypeCamera:
        return QStringLiteral("Camera");
    }
    return QString();
}

void presetWriteToPref(const QJsonObject& object, QString key, QSettings& settings)
{
    if (!object.contains(key))
        return;
    int number = 0;
    if (wholeNumber(object.value(key), number))
        settings.setValue(key, number);
    else
        qWarning().noquote() << "Preset file: skipped" << key << "(not a whole number)";
}

namespace presetstore {

QString availableKey(PresetType type, int index)
{
    return QStringLiteral("%1%2_preset_available").arg(presetTypeString(type), QString::number(index));
}

QString label(PresetType type, int index)
{
    return QStringLiteral("%1-%2").arg(presetTypeString(type), QString::number(index + 1));
}

QString nameKey(PresetType type, int index)
{
    return QStringLiteral("%1%2_preset_name").arg(presetTypeString(type), QString::number(index));
}

QString globalValueKey(int index, int msg, int which)
{
    return QStringLiteral("Global%1_%2_val%3")
        .arg(QString::number(index), DeviceInterface::viscaPresetName(msg), QString::number(which));
}

bool available(PresetType type, int index)
{
    return QSettings().value(availableKey(type, index), 0).toInt() != 0;
}

void availableSet(PresetType type, int index, bool on)
{
    QSettings().setValue(availableKey(type, index), on ? 1 : 0);
}

QString displayName(PresetType type, int index)
{
    const QString name = QSettings().value(nameKey(type, index)).toString();
    return name.isEmpty() ? QString::fromLatin1(UNTITLED) : name;
}

QString cutName(const QString& name)
{
    if (name.size() <= NAME_MAX_LENGTH)
        return name;
    const bool halves = name.at(NAME_MAX_LENGTH - 1).isHighSurrogate();
    return name.left(halves ? NAME_MAX_LENGTH - 1 : NAME_MAX_LENGTH);
}

QString storedName(const QString& name)
{
    return name.isEmpty() ? QString::fromLatin1(UNTITLED) : cutName(name);
}

bool eptzRead(DeviceInterface* device, int& pan, int& tilt)
{
    return device->viscaGet(ViscaMsg::EptPosition, pan, tilt, true) == 0;
}

bool eptzSet(DeviceInterface* device, int index)
{
    int pan = 0;
    int tilt = 0;
    // A camera that cannot be read must not turn the preset into the centre.
    if (!eptzRead(device, pan, tilt))
        return false;
    eptzStore(index, pan, tilt);
    return true;
}

void eptzStore(int index, int pan, int tilt)
{
    const QString panKey = keyOf(EPTZ_PAN_KEY, index);
    const QString tiltKey = keyOf(EPTZ_TILT_KEY, index);
    QSettings settings;
    settings.setValue(availableKey(PresetTypeEptz, index), 1);
    settings.setValue(panKey, pan);
    settings.setValue(tiltKey, tilt);
    qDebug().noquote() << "presetEptzSet" << panKey << pan << tiltKey << tilt;
}

bool eptzRecall(DeviceInterface* device, int index)
{
    int currentPan = 0;
    int currentTilt = 0;
    device->viscaGet(ViscaMsg::EptPosition, currentPan, currentTilt, true);
    if (!available(PresetTypeEptz, index))
        return false;
    QSettings settings;
    const int pan = settings.value(keyOf(EPTZ_PAN_KEY, index), currentPan).toInt();
    const int tilt = settings.value(keyOf(EPTZ_TILT_KEY, index), currentTilt).toInt();
    if (pan == currentPan && tilt == currentTilt)
        return false;
    device->viscaPush(ViscaMsg::EptPosition, pan, tilt);
    return true;
}

bool globalCopy(DeviceInterface* device, int index)
{
    if (!device->deviceOnline())
        return false;
    QSettings settings;
    settings.setValue(availableKey(PresetTypeGlobal, index), 1);
    // A value that cannot be read keeps what the preset held before.
    for (const OutputFormat& format : OUTPUT_FORMATS) {
        int value = 0;
        if (device->viscaGet(format.msg, value, true) == 0)
            settings.setValue(keyOf(format.key, index), value);
    }
    for (int msg : presetMessages()) {
        int first = 0;
        int second = 0;
        if (device->viscaGet(msg, first, second, true) != 0)
            continue;
        settings.setValue(globalValueKey(index, msg, 1), first);
        settings.setValue(globalValueKey(index, msg, 2), second);
    }
    settings.setValue(keyOf(ZOOM_SPEED_KEY, index), device->zoomSpeed());
    settings.sync();
    return true;
}

bool globalPastePt1(DeviceInterface* device, int index, bool* exposureChanged, int* exposureMode)
{
    *exposureChanged = false;
    *exposureMode = 0;
    if (!available(PresetTypeGlobal, index)) {
        qDebug() << "Preset not set: ignore";
        return false;
    }
    const int stored = QSettings().value(globalValueKey(index, ViscaMsg::ExposureMode, 1), 0).toInt();
    *exposureMode = stored;
    int current = -1;
    device->viscaGet(ViscaMsg::ExposureMode, current, true);
    if (stored == ExposureMode::Bright) {
        // Bright mode is reached from shutter priority or full auto only.
        if (current != ExposureMode::Bright && current != ExposureMode::ShutterPriority && current != ExposureMode::Auto
            && current != -1) {
            device->viscaSet(ViscaMsg::ExposureMode, ExposureMode::ShutterPriority, -1);
            *exposureChanged = true;
        }
    } else if (current != stored && current != -1) {
        device->viscaSet(ViscaMsg::ExposureMode, stored, -1);
        *exposureChanged = true;
    }
    return true;
}

bool globalPastePt2(DeviceInterface* device, int index)
{
    QSettings settings;
    device->setZoomSpeed(settings.value(keyOf(ZOOM_SPEED_KEY, index), 0).toInt());
    for (int msg : presetMessages()) {
        const int first = settings.value(globalValueKey(index, msg, 1), 0).toInt();
        const int second = settings.value(globalValueKey(index, msg, 2), 0).toInt();
        int currentFirst = 0;
        int currentSecond = 0;
        device->viscaGet(msg, currentFirst, currentSecond, true);
        if (first == currentFirst && second == currentSecond)
            continue;
        uint32_t error = VISCA_ERROR_NONE;
        const int result = device->viscaSet(msg, first, second, &error);
        // Each further write to a camera that does not answer would wait out
        // its own budget on the calling (GUI) thread: over a minute for 33.
        if (noAnswer(error)) {
            qWarning() << "Global preset" << index << "recall stopped: the camera did not take message" << msg;
            return false;
        }
        // A value no packet can carry (a byte-pair value of -1 from a preset
        // file) or a message the camera refuses costs no wait: the rest of
        // the preset still goes out.
        if (result != 0 || error != VISCA_ERROR_NONE)
            qWarning() << "Global preset" << index << "recall: message" << msg << "skipped," << skipReason(error);
    }
    return true;
}

void prefToJson(QJsonObject& object)
{
    QSettings settings;
    for (int i = 0; i < PRESET_COUNT; ++i) {
        for (PresetType type : FILE_TYPES) {
            const QString key = availableKey(type, i);
            const int on = settings.value(key, 0).toInt();
            object.insert(key, on);
            if (on == 0)
                continue;
            for (const Field& field : fieldsOf(type)) {
                const QString fieldKey = keyOf(field.pattern, i);
                if (field.isName)
                    object.insert(fieldKey, settings.value(fieldKey, QString::number(field.exportDefault)).toString());
                else
                    object.insert(fieldKey, settings.value(fieldKey, field.exportDefault).toInt());
            }
        }
    }
}

bool jsonToPref(const QJsonObject& object)
{
    bool usable = false;
    for (int i = 0; i < PRESET_COUNT && !usable; ++i) {
        for (PresetType type : FILE_TYPES) {
            const Mention mention = mentionOf(object, availableKey(type, i));
            usable = usable || mention == Mention::Set || mention == Mention::Unset;
        }
    }
    if (!usable)
        return false;

    QSettings settings;
    for (int i = 0; i < PRESET_COUNT; ++i) {
        for (PresetType type : FILE_TYPES) {
            const QString key = availableKey(type, i);
            const Mention mention = mentionOf(object, key);
            if (mention == Mention::Unusable) {
                // Neither set nor unset: the preset stays as it is.
                qWarning().noquote() << "Preset file: skipped" << key << "(not a whole number)";
                continue;
            }
            settings.setValue(key, mention == Mention::Set ? 1 : 0);
            if (mention != Mention::Set)
                continue;
            for (const Field& field : fieldsOf(type)) {
                const QString fieldKey = keyOf(field.pattern, i);
                if (!field.isName) {
                    presetWriteToPref(object, fieldKey, settings);
                } else if (object.contains(fieldKey)) {
                    const QJsonValue name = object.value(fieldKey);
                    if (name.isString())
                        settings.setValue(fieldKey, cutName(name.toString()));
                    else
                        qWarning().noquote() << "Preset file: skipped" << fieldKey << "(not a text)";
                }
            }
        }
    }
    settings.sync();
    return true;
}

} // namespace presetstore
