// The preset store and preset files of the main window: empty until they are
// built; each operation does nothing and reports nothing stored.

#include "app/mainwindow.h"

#include <QJsonObject>
#include <QSettings>


QString MainWindow::presetTypeString(PresetType)
{
    return QString();
}

bool MainWindow::presetAvailable(PresetType, int)
{
    return false;
}

void MainWindow::presetAvailableSet(PresetType, int, bool) { }
void MainWindow::presetButtonLookSet(QPushButton*, PresetButtonType) { }
void MainWindow::presetUiUpdate(PresetType, int) { }
void MainWindow::presetUiUpdateAll() { }
void MainWindow::presetSet(int) { }
void MainWindow::presetRecall(int) { }
void MainWindow::presetClear(int) { }
void MainWindow::presetClearAll() { }

bool MainWindow::presetRename(int, bool)
{
    return false;
}

void MainWindow::presetIndexSet(int) { }
void MainWindow::presetIndexRecall(int) { }
void MainWindow::presetEptzSet(int) { }
void MainWindow::presetEptzRecall(int) { }
void MainWindow::presetGlobalSet(int) { }
void MainWindow::presetGlobalRecall(int) { }
void MainWindow::presetCamSet(int) { }
void MainWindow::presetCamRecall(int) { }
void MainWindow::globalCopy(int) { }
void MainWindow::globalPastePt1(int) { }
void MainWindow::globalPastePt2(int) { }
void MainWindow::slot_presetSelect() { }
void MainWindow::slot_contextPreset(const QPoint&) { }
void MainWindow::slot_contextPresetLabel(const QPoint&) { }
void MainWindow::slot_presetName() { }

void MainWindow::presetFileWrite(QString) { }
void MainWindow::presetFileRead(QString) { }
void MainWindow::presetPrefToJson(QJsonObject&) { }
void MainWindow::presetJsonToPref(const QJsonObject&) { }
void MainWindow::pathLastFileSet(LocationType, QString) { }
void MainWindow::pathLastDirSet(LocationType, QString) { }

QString MainWindow::pathLastDir(LocationType)
{
    return QString();
}

QString MainWindow::pathDefault()
{
    return QString();
}

void MainWindow::slot_presetFileRead() { }
void MainWindow::slot_presetFileWrite() { }
