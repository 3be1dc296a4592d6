// The main window's preset store and preset files: the sixteen preset
// buttons, their menus and looks, the kind icon and its menu, the name and
// confirmation dialogs and the file dialogs. The keys, the camera sequences
// and the files themselves are in presetstore and presetfile. Each operation
// a user starts that writes to the preference store is a storecheck::Action,
// which tells the user once when the store cannot be written.

#include "app/mainwindow.h"

#include "app/presetfile.h"
#include "app/presetstore.h"
#include "app/storecheck.h"
#include "app/windowlayout.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/panecamera.h"
#include "panes/paneui.h"
#include "quvapp/quvmenu.h"

#include <functional>

#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTextDocument>
#include <QTimer>

namespace {

using presetstore::PRESET_COUNT;
using presetstore::PRESET_INDEX_KEY;
using presetstore::PRESET_TYPE_KEY;
using presetstore::SAVED_PRESET_KEY;

constexpr int KIND_COUNT = 3;
// The camera reloads this long after a Camera preset recall was queued.
constexpr int CAMERA_RECALL_RELOAD_MS = 100;

const char* const TIP_CAMERA
    = "(No name)\nPreset saved in camera memory.\nRight click to Set preset and see other options.";
const char* const TIP_EMPTY
    = "(empty)\nNo value has been saved in this preset.\nRight click to Set preset and see other options.";
const char* const RENAME_EMPTY = "You cannot rename an empty preset.\n\nUse the \"Set\" menu item to setup the Preset "
                                 "state before renaming it.";

// By PresetType.
const char* const KIND_ICONS[KIND_COUNT]
    = { ":/media/preset_eptz.png", ":/media/preset_global.png", ":/media/preset_cam.png" };
using PresetAction = void (MainWindow::*)(int);
const PresetAction SET_ACTIONS[KIND_COUNT]
    = { &MainWindow::presetEptzSet, &MainWindow::presetGlobalSet, &MainWindow::presetCamSet };
const PresetAction RECALL_ACTIONS[KIND_COUNT]
    = { &MainWindow::presetEptzRecall, &MainWindow::presetGlobalRecall, &MainWindow::presetCamRecall };

// One menu row; a null text is a separator.
struct MenuRow
{
    const char* text;
    int data = 0;
};
enum PresetMenuChoice : int
{
    ChoiceSet,
    ChoiceRecall,
    ChoiceClear,
    ChoiceRename,
};
const MenuRow PRESET_MENU[] = {
    { "Set", ChoiceSet },
    { "Recall", ChoiceRecall },
    { "Clear", ChoiceClear },
    { "Rename...", ChoiceRename },
};
// Data 0 to 2 are the kinds.
enum KindMenuChoice : int
{
    ChoiceImport = KIND_COUNT,
    ChoiceExport,
    ChoiceClearAll,
};
const MenuRow KIND_MENU[] = {
    { nullptr },
    { "ePTZ", PresetTypeEptz },
    { "Global", PresetTypeGlobal },
    { "Camera", PresetTypeCamera },
    { nullptr },
    { "Import...", ChoiceImport },
    { "Export...", ChoiceExport },
    { "Clear All...", ChoiceClearAll },
};

template<size_t N> void addRows(QuvMenu& menu, const MenuRow (&rows)[N])
{
    for (const MenuRow& row : rows) {
        if (row.text)
            menu.addAction(QLatin1String(row.text), QVariant(row.data));
        else
            menu.addSeparator();
    }
}

// Runs menu at pt of anchor, a little up and to the left; the chosen data or -1.
int runMenu(QuvMenu& menu, const QWidget* anchor, const QPoint& pt)
{
    QAction* chosen = paneui::execMenu(menu, anchor, pt);
    return chosen ? chosen->data().toInt() : -1;
}

// A tool tip that shows text as it is: Qt would draw one that looks like
// HTML (a name typed or imported as "<b>...") as rich text, loading any image
// it names.
QString plainTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

bool isKind(int type)
{
    return type >= 0 && type < KIND_COUNT;
}

bool isPresetIndex(int index)
{
    return index >= 0 && index < PRESET_COUNT;
}

// The file chosen in a preset file dialog, with its folder remembered for the
// next dialog; empty when the dialog was cancelled.
QString choosePresetFile(MainWindow* window, const QString& caption, bool save)
{
    const QString folder = window->pathLastDir(LocationPresetFile);
    const QString filter = MainWindow::tr("XML files (*.taqo)");
    const QString path = save ? QFileDialog::getSaveFileName(window, caption, folder, filter)
                              : QFileDialog::getOpenFileName(window, caption, folder, filter);
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        window->pathLastFileSet(LocationPresetFile, info.absoluteFilePath());
        window->pathLastDirSet(LocationPresetFile, info.dir().absolutePath());
    }
    return path;
}

} // namespace

QString MainWindow::presetTypeString(PresetType type)
{
    return ::presetTypeString(type);
}

bool MainWindow::presetAvailable(PresetType type, int index)
{
    return presetstore::available(type, index);
}

void MainWindow::presetAvailableSet(PresetType type, int index, bool available)
{
    presetstore::availableSet(type, index, available);
}

void MainWindow::presetButtonLookSet(QPushButton* button, PresetButtonType look)
{
    QString sheet = button->styleSheet();
    if (look == PresetButtonEmpty)
        sheet.replace(QLatin1String(windowlayout::PRESET_NUMBER_SET), QLatin1String(windowlayout::PRESET_NUMBER_EMPTY));
    else if (look == PresetButtonSet)
        sheet.replace(QLatin1String(windowlayout::PRESET_NUMBER_EMPTY), QLatin1String(windowlayout::PRESET_NUMBER_SET));
    if (sheet != button->styleSheet())
        button->setStyleSheet(sheet);
}

void MainWindow::presetUiUpdate(PresetType type, int index)
{
    QPushButton* button = m_presetButtons[index];
    if (type == PresetTypeCamera) {
        // The store does not know which camera memories hold something.
        button->setToolTip(QLatin1String(TIP_CAMERA));
        presetButtonLookSet(button, PresetButtonSet);
    } else if (presetAvailable(type, index)) {
        button->setToolTip(plainTip(QStringLiteral("\"%1\"").arg(presetstore::displayName(type, index))));
        presetButtonLookSet(button, PresetButtonSet);
    } else {
        button->setToolTip(QLatin1String(TIP_EMPTY));
        presetButtonLookSet(button, PresetButtonEmpty);
    }
}

void MainWindow::presetUiUpdateAll()
{
    for (int i = 0; i < PRESET_COUNT; ++i)
        presetUiUpdate(m_presetType, i);
    if (isKind(m_presetType))
        m_presetTypeLabel->setPixmap(QPixmap(QLatin1String(KIND_ICONS[m_presetType])));
}

void MainWindow::presetSet(int index)
{
    const storecheck::Action action(this);
    if (isKind(m_presetType))
        std::invoke(SET_ACTIONS[m_presetType], this, index);
    QPushButton* button = m_presetButtons[index];
    const bool blocked = button->blockSignals(true);
    button->setChecked(true);
    button->blockSignals(blocked);
    QSettings().setValue(QLatin1String(PRESET_INDEX_KEY), index);
}

void MainWindow::presetRecall(int index)
{
    const storecheck::Action action(this);
    if (isKind(m_presetType))
        std::invoke(RECALL_ACTIONS[m_presetType], this, index);
    QSettings().setValue(QLatin1String(PRESET_INDEX_KEY), index);
}

void MainWindow::presetClear(int index)
{
    const storecheck::Action action(this);
    if (m_presetType == PresetTypeCamera) {
        m_deviceSet->get()->viscaSet(ViscaMsg::MemoryReset, index, -1);
        return;
    }
    presetAvailableSet(m_presetType, index, false);
    presetUiUpdateAll();
}

void MainWindow::presetClearAll()
{
    const storecheck::Action action(this);
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("Clear Preference File"));
    box.setText(QStringLiteral(
        "Are you sure you wish to delete all ePTZ and Global preferences saved in your local Preference file?\n"));
    box.setInformativeText(QStringLiteral("This erases all 16 ePTZ and Global preferences.\n"));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole));
    box.setIcon(QMessageBox::Warning);
    box.exec();
    if (box.clickedButton() != ok)
        return;
    for (int i = 0; i < PRESET_COUNT; ++i) {
        presetAvailableSet(PresetTypeEptz, i, false);
        presetAvailableSet(PresetTypeGlobal, i, false);
    }
    QSettings().sync();
    presetUiUpdateAll();
}

bool MainWindow::presetRename(int index, bool isNew)
{
    const storecheck::Action action(this);
    const PresetType type = m_presetType;
    if (!presetAvailable(type, index) && !isNew) {
        QMessageBox::information(this, QCoreApplication::applicationName(), QLatin1String(RENAME_EMPTY));
        return false;
    }
    const QString key = presetstore::nameKey(type, index);
    QString name = QSettings().value(key).toString();
    if (name.isEmpty() || isNew)
        name = QLatin1String(presetstore::UNTITLED);
    // The blanks widen the dialog; title and label are 52 characters each.
    const QString preset = presetstore::label(type, index);
    bool accepted = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Name Preset ") + preset + QString(35, ' '),
        QStringLiteral("Set preset name for ") + preset + QString(27, ' '), QLineEdit::Normal, name, &accepted);
    if (!accepted)
        return false;
    QSettings().setValue(key, presetstore::storedName(text));
    presetAvailableSet(type, index, true);
    presetUiUpdate(type, index);
    QSettings().sync();
    return true;
}

void MainWindow::presetIndexSet(int index)
{
    if (!isPresetIndex(index))
        return;
    presetSet(index);
    m_presetButtons[index]->toggle();
}

void MainWindow::presetIndexRecall(int index)
{
    if (!isPresetIndex(index))
        return;
    presetRecall(index);
    m_presetButtons[index]->toggle();
}

void MainWindow::presetEptzSet(int index)
{
    if (!presetCameraReadable(PresetTypeEptz, index))
        return;
    // A position that cannot be read leaves the preset as it is: a set one
    // keeps its values, an empty one is not named.
    int pan = 0;
    int tilt = 0;
    if (!presetstore::eptzRead(m_deviceSet->get(), pan, tilt)) {
        qDebug() << "presetEptzSet - position not read, preset kept" << index;
        presetSetRefused(PresetTypeEptz, index, QStringLiteral("the ePTZ position cannot be read"));
        return;
    }
    // A new preset is named first; cancelling the name cancels the Set.
    if (!presetAvailable(PresetTypeEptz, index)) {
        if (!presetRename(index, true))
            return;
        // The position as the name dialog closes: the controller may have
        // moved it meanwhile, and a scan may have rebuilt the camera set (so
        // the camera is asked for again). The one read above if the camera
        // no longer answers.
        presetstore::eptzRead(m_deviceSet->get(), pan, tilt);
    }
    presetstore::eptzStore(index, pan, tilt);
}

void MainWindow::presetEptzRecall(int index)
{
    if (presetstore::eptzRecall(m_deviceSet->get(), index))
        emit sig_resync(ResyncEptz);
}

void MainWindow::presetGlobalSet(int index)
{
    if (!presetCameraReadable(PresetTypeGlobal, index))
        return;
    if (!presetAvailable(PresetTypeGlobal, index) && !presetRename(index, true))
        return;
    globalCopy(index);
}

bool MainWindow::presetCameraReadable(PresetType type, int index)
{
    // An offline camera (link down, adapter gone) has nothing to copy and
    // keeps nothing in its memory: the preset, set or empty, stays exactly as
    // it is, and no empty one is named.
    if (m_deviceSet->get()->deviceOnline())
        return true;
    qDebug().noquote() << "presetSet - camera offline," << presetTypeString(type) << index << "kept";
    presetSetRefused(type, index, QStringLiteral("the camera is offline"));
    return false;
}

void MainWindow::presetSetRefused(PresetType type, int index, const QString& reason)
{
    warningPost(QStringLiteral("Preset %1 cannot be set: %2").arg(presetstore::label(type, index), reason));
}

void MainWindow::presetGlobalRecall(int index)
{
    globalPastePt1(index);
}

void MainWindow::presetCamSet(int index)
{
    if (!presetCameraReadable(PresetTypeCamera, index))
        return;
    m_deviceSet->get()->viscaSet(ViscaMsg::MemorySet, index, -1);
}

void MainWindow::presetCamRecall(int index)
{
    dialogPost(1);
    m_deviceSet->get()->viscaPush(ViscaMsg::MemoryRecall, index, -1);
    // The reload that follows changes the camera set, which closes the dialog.
    QTimer::singleShot(CAMERA_RECALL_RELOAD_MS, this, SLOT(slot_pnpReloadOne()));
    QSettings().setValue(QLatin1String(SAVED_PRESET_KEY), index);
}

void MainWindow::globalCopy(int index)
{
    presetstore::globalCopy(m_deviceSet->get(), index);
}

void MainWindow::globalPastePt1(int index)
{
    bool exposureChanged = false;
    int exposureMode = 0;
    if (!presetstore::globalPastePt1(m_deviceSet->get(), index, &exposureChanged, &exposureMode))
        return;
    if (!globalPastePt2(index)) {
        // Posted last, when nothing more waits on the camera: the line's
        // 3 s run while the window is live again, not while it is frozen.
        warningPost(QStringLiteral("Preset %1 recall stopped: the camera does not answer")
                        .arg(presetstore::label(PresetTypeGlobal, index)));
        return;
    }
    auto* pane = qobject_cast<PaneCamera*>(paneCamera());
    if (exposureChanged && pane)
        pane->syncApertManualPriority(exposureMode);
}

bool MainWindow::globalPastePt2(int index)
{
    // A camera that took no write is not read again: each read would wait out
    // its 2 s reply budget on this thread, one for each value the panes show.
    if (!presetstore::globalPastePt2(m_deviceSet->get(), index))
        return false;
    uiSync(true);
    return true;
}

void MainWindow::slot_presetSelect()
{
    const auto sent = std::find(std::begin(m_presetButtons), std::end(m_presetButtons), sender());
    if (sent != std::end(m_presetButtons))
        presetRecall(int(sent - std::begin(m_presetButtons)));
}

void MainWindow::slot_contextPreset(const QPoint& pt)
{
    const storecheck::Action action(this);
    const auto sent = std::find(std::begin(m_presetButtons), std::end(m_presetButtons), sender());
    if (sent == std::end(m_presetButtons)) {
        qDebug() << "bad preset button";
        return;
    }
    const int index = int(sent - std::begin(m_presetButtons));
    QuvMenu menu;
    addRows(menu, PRESET_MENU);
    switch (runMenu(menu, *sent, pt)) {
    case ChoiceSet:
        presetSet(index);
        break;
    case ChoiceRecall:
        presetRecall(index);
        break;
    case ChoiceClear:
        presetClear(index);
        break;
    case ChoiceRename:
        presetRename(index, false);
        break;
    default:
        return;
    }
    QSettings().setValue(QLatin1String(PRESET_TYPE_KEY), int(m_presetType));
}

void MainWindow::slot_contextPresetLabel(const QPoint& pt)
{
    QuvMenu menu;
    addRows(menu, KIND_MENU);
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        menu.setMatchingItemChecked(QVariant(kind), kind == m_presetType, false);
    const int choice = runMenu(menu, m_presetTypeLabel, pt);
    if (isKind(choice)) {
        m_presetType = PresetType(choice);
        presetUiUpdateAll();
    } else if (choice == ChoiceImport) {
        slot_presetFileRead();
    } else if (choice == ChoiceExport) {
        slot_presetFileWrite();
    } else if (choice == ChoiceClearAll) {
        presetClearAll();
    }
}

void MainWindow::slot_presetName() { }

// ---- Preset files

void MainWindow::presetFileWrite(QString path)
{
    QString error;
    if (!presetfile::write(path, &error))
        QMessageBox::warning(this, tr("Save Preset File"), error);
}

void MainWindow::presetFileRead(QString path)
{
    const storecheck::Action action(this);
    QString error;
    if (!presetfile::read(path, &error)) {
        QMessageBox::warning(this, tr("Open Preset File"), error);
        return;
    }
    presetUiUpdateAll();
    QSettings().sync();
}

void MainWindow::presetPrefToJson(QJsonObject& object)
{
    presetstore::prefToJson(object);
}

void MainWindow::presetJsonToPref(const QJsonObject& object)
{
    presetstore::jsonToPref(object);
}

void MainWindow::pathLastFileSet(LocationType type, QString path)
{
    presetfile::pathLastFileSet(type, path);
}

void MainWindow::pathLastDirSet(LocationType type, QString path)
{
    presetfile::pathLastDirSet(type, path);
}

QString MainWindow::pathLastDir(LocationType type)
{
    return presetfile::pathLastDir(type);
}

QString MainWindow::pathDefault()
{
    return presetfile::pathDefault();
}

void MainWindow::slot_presetFileRead()
{
    const storecheck::Action action(this);
    const QString path = choosePresetFile(this, tr("Open Preset File"), false);
    if (!path.isEmpty())
        presetFileRead(path);
}

void MainWindow::slot_presetFileWrite()
{
    const storecheck::Action action(this);
    const QString path = choosePresetFile(this, tr("Save Preset File"), true);
    if (!path.isEmpty())
        presetFileWrite(path);
}
