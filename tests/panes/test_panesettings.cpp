// The settings pane against two simulated cameras (slots 0 and 2) in a
// DeviceSet: the mappings as tables, and every sub-pane by the packets the
// cameras receive. Message boxes and menus are answered by a timer.

#include <QImage>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include "answering.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "layoutsnapshot.h"
#include "panes/panesettings.h"
#include "panes/screenproxy.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

QString joined(const QList<QByteArray>& packets)
{
    QStringList texts;
    for (const QByteArray& packet : packets)
        texts.append(quvtest::hexString(packet));
    return texts.join(QLatin1String(" | "));
}

// The top-left pixel of a picture's spot window.
QPoint corner(ScreenProxyIcon* picture)
{
    for (int y = 0; y < picture->height(); ++y) {
        for (int x = 0; x < picture->width(); ++x) {
            if (picture->GetRoiHit(QPoint(x, y)) != 0)
                return QPoint(x, y);
        }
    }
    return QPoint(-1, -1);
}

// A row chosen by the user: current first, then activated.
void choose(QuvComboBox* combo, int row)
{
    combo->setCurrentIndex(row);
    emit combo->activated(row);
}

} // namespace

class TestPaneSettings : public QObject
{
    Q_OBJECT

    template<class T> T* find(const char* name) const { return m_pane->findChild<T*>(QLatin1String(name)); }
    // The read queued after every request so far, which settle waits for.
    const QByteArray m_marker = hexBytes("81 09 04 4B FF");
    // Waits until camera 1 has served every request queued so far.
    bool settle()
    {
        const int before = m_sim->received().count(m_marker);
        m_camera->viscaPull(ViscaMsg::Iris, -1);
        QUV_VERIFY_OR_FALSE(QTest::qWaitFor([&] { return m_sim->received().count(m_marker) > before; }, 10000));
        return true;
    }
    // What camera 1 received since the last call.
    QString sent()
    {
        QList<QByteArray> packets = m_sim->received();
        packets.removeAll(m_marker);
        m_sim->clearReceived();
        return joined(packets);
    }
    bool setVFlip(bool flipped)
    {
        find<QPushButton>("flipV")->setChecked(flipped);
        QUV_COMPARE_OR_FALSE(m_pane->isVFlip(), flipped);
        return true;
    }

    CamSim m_sim0;
    CamSim m_other;
    CamSim* m_sim = &m_sim0;
    QObject m_owner;
    DeviceSet* m_set = nullptr;
    DeviceInterface* m_camera = nullptr;
    PaneSettings* m_pane = nullptr;
    int m_beeps = 0;

private slots:
    void initTestCase()
    {
        m_other.setWord(hexBytes("04 22"), 2);
        m_set = new DeviceSet(&m_owner);
        m_set->deviceSetCreate(
            { SerialPortDesc::forDevicePath(m_sim->devicePath()), SerialPortDesc::forDevicePath(m_other.devicePath()) },
            false);
        QTRY_VERIFY_WITH_TIMEOUT(m_set->processingCount() == 0 && m_set->deviceSetCount() == 2, 30000);
        m_camera = m_set->getAt(0);
        QVERIFY(m_camera && m_set->getAt(2));
        m_set->selectIndex(0);
    }
    void init()
    {
        m_pane = new PaneSettings(m_set, nullptr);
        m_pane->setBeep([this] { ++m_beeps; });
        m_pane->uiSetup();
        m_pane->show();
        m_camera->deviceInvalidateCache();
        m_sim->setValue(hexBytes("04 66"), hexBytes("02")); // not flipped
        m_pane->uiSync(false);
        QVERIFY(settle());
        sent();
        m_beeps = 0;
    }
    void cleanup()
    {
        delete m_pane;
        QVERIFY(settle());
        sent();
    }
    void cleanupTestCase() { delete m_set; }

    void spotMapping_data()
    {
        QTest::addColumn<bool>("toCorner");
        QTest::addColumn<bool>("flipped");
        QTest::addColumn<QPoint>("grid");
        QTest::addColumn<QPoint>("corner");
        QTest::newRow("left edge") << true << false << QPoint(15, 7) << QPoint(0, 792);
        QTest::newRow("right edge") << true << false << QPoint(0, 8) << QPoint(2880, 693);
        QTest::newRow("middle") << true << false << QPoint(7, 15) << QPoint(1536, 0);
        QTest::newRow("flipped") << true << true << QPoint(15, 15) << QPoint(2880, 1485);
        QTest::newRow("centre") << false << false << QPoint(8, 8) << QPoint(1440, 742);
        QTest::newRow("centre flipped") << false << true << QPoint(8, 7) << QPoint(1440, 742);
        QTest::newRow("beyond the right") << false << false << QPoint(0, 15) << QPoint(3700, -300);
    }
    void spotMapping()
    {
        QFETCH(bool, toCorner);
        QFETCH(bool, flipped);
        QFETCH(QPoint, grid);
        QFETCH(QPoint, corner);
        QPoint result;
        if (toCorner) {
            PaneSettings::spotViscaToTopLeft(grid.x(), grid.y(), flipped, result.rx(), result.ry());
            QCOMPARE(result, corner);
        }
        PaneSettings::spotTopLeftToVisca(corner.x(), corner.y(), flipped, result.rx(), result.ry());
        QCOMPARE(result, grid);
    }

    void noiseReduction_data()
    {
        QTest::addColumn<int>("nr");
        QTest::addColumn<int>("level2d");
        QTest::addColumn<int>("level3d");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("writeBack");
        QTest::newRow("std too high") << 9 << 0 << 0 << 0 << 5 << true;
        QTest::newRow("std negative") << -1 << 0 << 0 << 0 << 0 << true;
        QTest::newRow("2d3d equal") << 127 << 3 << 3 << 1 << 3 << false;
        QTest::newRow("2d3d unequal") << 127 << 2 << 4 << 1 << 4 << true;
        QTest::newRow("2d3d one too high") << 127 << 1 << 6 << 1 << 5 << true;
    }
    void noiseReduction()
    {
        QFETCH(int, nr);
        QFETCH(int, level2d);
        QFETCH(int, level3d);
        const PaneSettings::NrState state = PaneSettings::nrFromCamera(nr, level2d, level3d);
        QTEST(state.row, "row");
        QTEST(state.level, "level");
        QTEST(state.writeBack, "writeBack");
    }

    void images()
    {
        // Each picture at its control's size, clear outside the part drawn: the reset art lies over a
        // slider's groove (gains) or past its group's edge (gamma); the switches stand on the headings.
        const struct
        {
            const char* stems;
            QSize size;
            QRect drawn;
        } pictures[] = {
            { "wb_awb_off wb_awb_on wb_awb_press", QSize(28, 11), {} },
            { "wb_daylight_off wb_daylight_on wb_daylight_press", QSize(16, 16), {} },
            { "wb_indoor_off wb_indoor_on wb_indoor_press wb_custom_off wb_custom_on wb_custom_press", QSize(16, 14),
                {} },
            { "wb_shade_off wb_shade_on wb_shade_press", QSize(22, 15), {} },
            { "wb_sodium_off wb_sodium_on wb_sodium_press", QSize(15, 14), {} },
            { "wb_m_off wb_m_on wb_m_press", QSize(13, 13), {} },
            { "wb_set_off wb_set_press wb_set_disabled", QSize(27, 15), {} },
            { "wb_reset_off wb_reset_press wb_reset_disabled", QSize(51, 24), QRect(0, 0, 27, 15) },
            { "wb_icon", QSize(52, 37), {} },
            { "switch_big_off switch_big_on", QSize(65, 25), {} },
            { "spot_focus_icon", QSize(224, 31), QRect(0, 0, 128, 31) },
            { "spot_ae_icon", QSize(224, 31), QRect(0, 0, 102, 31) },
            { "spot_focus_icon_on spot_focus_icon_off", QSize(56, 39), {} },
            { "spot_gamma_detail", QSize(152, 22), {} },
        };
        for (const auto& picture : pictures) {
            for (const QString& name : QString::fromLatin1(picture.stems).split(' ')) {
                const QImage image(QStringLiteral(":/media/%1.png").arg(name));
                QVERIFY2(image.size() == picture.size, qPrintable(name));
                const QRect drawn = picture.drawn.isNull() ? image.rect() : picture.drawn;
                int shown = 0;
                int strayed = 0;
                for (int i = 0; i < image.width() * image.height(); ++i) {
                    const QPoint at(i % image.width(), i / image.width());
                    // Anti-aliasing may leave a trace of 2 or 3 % past an edge.
                    const bool visible = qAlpha(image.pixel(at)) > 8;
                    shown += visible ? 1 : 0;
                    strayed += visible && !drawn.contains(at) ? 1 : 0;
                }
                QVERIFY2(shown > 0 && strayed == 0, qPrintable(name));
            }
        }
    }

    void builtAndConnected()
    {
        // Every connection is made, and every control but Apply explains itself.
        quvtest::MessageLog log;
        PaneSettings pane(m_set, nullptr);
        pane.uiSetup();
        QCOMPARE(log.messages().filter(QStringLiteral("cannot connect")), QStringList());
        // The texts, pictures and sheets as built, before any camera is read.
        QUV_VERIFY_LAYOUT(&pane, "panes/layouts/panesettings.txt");
        for (QWidget* w : pane.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractSlider*>(w) || qobject_cast<QComboBox*>(w)
                || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QPushButton*>(w);
            if (control && !qobject_cast<QScrollBar*>(w) && !w->isHidden() && w->objectName() != "apply")
                QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
        }
    }

    void syncOrderAndStoredRow()
    {
        m_camera->deviceInvalidateCache();
        m_pane->uiSync(false);
        QVERIFY(settle());
        QCOMPARE(sent().remove(QLatin1String("81 09 ")).remove(QLatin1String(" FF")),
            QStringLiteral("04 24 72 | 04 24 60 | 04 24 75 | 04 35 | 7E 04 7D | 04 33 | 04 01 | 04 15 | 04 66 | 04 61 "
                           "| 04 75 | 04 53 | 05 53 | 04 22 | 04 23 00 | 04 23 01 | 04 23 02 | 04 68 | 05 08 | 05 68 | "
                           "04 59 | 04 29 | 04 5B | 04 1E | 05 5B | 04 43 | 04 44"));
        // From the cache, only the delay mode, white balance, name and gamma are asked of the camera.
        m_pane->uiSync(true);
        QVERIFY(settle());
        QCOMPARE(sent().remove(QLatin1String("81 09 ")).remove(QLatin1String(" FF")),
            QStringLiteral("04 24 75 | 04 35 | 04 23 00 | 04 23 01 | 04 23 02 | 04 5B | 04 1E | 05 5B"));

        // A stored row outside the list shows Features alone; -1 is never stored.
        const auto shown = [this] {
            QString names;
            for (const char* name : { "featuresPane", "spotPane", "outputPane", "infoPane" })
                names += find<QWidget>(name)->isVisible() ? QLatin1String(name) : QLatin1String();
            return names;
        };
        QSettings().setValue(QStringLiteral("prefs/selected_setting"), 2);
        m_pane->preferenceRead();
        QCOMPARE(shown(), QStringLiteral("outputPane"));
        QSettings().setValue(QStringLiteral("prefs/selected_setting"), 7);
        m_pane->preferenceRead();
        QCOMPARE(shown(), QStringLiteral("featuresPane"));
        find<QListWidget>("paneList")->setCurrentRow(3);
        m_pane->slot_selectSettingsPane(-1);
        QCOMPARE(shown(), QStringLiteral("infoPane"));
        QCOMPARE(QSettings().value(QStringLiteral("prefs/selected_setting")).toInt(), 3);
    }

    void outputApply()
    {
        m_sim->setValue(hexBytes("04 24 72"), hexBytes("01 0D")); // 3840x2160 29.97p
        m_sim->setValue(hexBytes("7E 06 00"), hexBytes("02")); // ePTZ on
        m_camera->deviceInvalidateCache();
        m_pane->uiSync(true);
        QSignalSpy resync(m_pane, SIGNAL(sig_resync(ResyncType)));
        auto* format = find<QuvComboBox>("videoFormat");
        auto* apply = find<QPushButton>("apply");
        auto* note = find<QLabel>("restartNote");
        QList<quvtest::Shown> shown;
        QUV_ANSWER([&] { choose(format, 2); }, &shown);
        // The warning, as this test alone checks it word for word.
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("QUV Taqo Control"));
        QCOMPARE(shown.first().text,
            QStringLiteral("ePTZ is currently enabled and requires the video format be set to a UHD format. Changing "
                           "to the selected format will disable ePTZ."));
        QCOMPARE(shown.first().detail, QString());
        QVERIFY(apply->isEnabled() && !note->isHidden());
        // A re-read makes the camera's values the pending ones again.
        m_pane->uiSync(true);
        QVERIFY(!apply->isEnabled() && note->isHidden());
        QCOMPARE(format->currentIndex(), 0);
        QUV_ANSWER([&] { choose(format, 2); }, nullptr);
        choose(format, 0);
        QVERIFY(!apply->isEnabled() && note->isHidden());
        QUV_ANSWER([&] { choose(format, 2); }, nullptr);
        QVERIFY(settle());
        sent();
        apply->click();
        QCOMPARE(sent(), QStringLiteral("81 01 7E 06 00 03 FF | 81 01 04 24 72 01 03 FF"));
        QCOMPARE(resync.value(0).value(0).toInt(), int(ResyncEptz));
        QCOMPARE(resync.value(1).value(0).toInt(), int(ResyncRestart));
        QVERIFY(!apply->isEnabled() && note->isHidden());
        // Nothing left to apply: no writes, no restart.
        m_pane->uiResync(ResyncApplyOutput);
        QCOMPARE(sent(), QString());
        QCOMPARE(resync.count(), 2);

        // A UHD format with ePTZ on: no box, and ePTZ stays on; a colour space goes with it.
        m_sim->setValue(hexBytes("7E 06 00"), hexBytes("02"));
        m_camera->deviceInvalidateCache();
        QUV_ANSWER([&] { choose(format, 1); }, &shown);
        QCOMPARE(shown.size(), 0);
        choose(find<QuvComboBox>("colorSpace"), 1);
        m_pane->uiResync(ResyncApplyOutput);
        QCOMPARE(sent(),
            QStringLiteral("81 09 04 24 72 FF | 81 09 7E 06 00 FF | 81 09 04 24 60 FF | 81 09 04 24 75 FF | 81 01 04 "
                           "24 72 01 0E FF | 81 01 04 24 60 00 01 FF"));
        QCOMPARE(resync.count(), 3);

        // Low delay: a box on the way in and out, none back to the camera's own mode.
        auto* delay = find<QuvComboBox>("delayMode");
        QUV_ANSWER([&] { choose(delay, 1); }, &shown);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("Low Delay Warning"));
        QVERIFY(shown.first().text.startsWith(QLatin1String("<b><big>Turning on \"Low Delay\" mode")));
        QCOMPARE(
            shown.first().detail, QStringLiteral("Normal Latency:\t ~2 frames delay\nLow Latency:\t ~1 frame delay\n"));
        QUV_ANSWER([&] { choose(delay, 0); }, &shown);
        QCOMPARE(shown.size(), 0);
        QVERIFY(!apply->isEnabled());
        QUV_ANSWER([&] { choose(delay, 1); }, nullptr);
        apply->click();
        QCOMPARE(sent(), QStringLiteral("81 01 04 24 75 00 01 FF"));
        QUV_ANSWER([&] { choose(delay, 0); }, &shown);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(QLatin1String("Turning off")));
        m_sim->setValue(hexBytes("04 24 75"), hexBytes("00 00"));
    }

    void infoAndName()
    {
        QCOMPARE(find<QLineEdit>("portName")->text(), m_camera->devicePN());
        m_sim->setValue(hexBytes("04 68"), hexBytes("00 00 02 05"));
        m_sim->setWord(hexBytes("04 22"), 9);
        m_pane->syncInfo(false);
        QCOMPARE(find<QLineEdit>("temperature")->text(), QStringLiteral("37 C / 98 F"));
        QCOMPARE(find<QuvComboBox>("slot")->currentIndex(), -1);
        m_sim->setWord(hexBytes("04 22"), 0);
        sent();

        // Leaving the field unedited writes nothing (the field of an unnamed camera reads "Cam?").
        QSignalSpy resync(m_pane, SIGNAL(sig_resync(ResyncType)));
        auto* name = find<QLineEdit>("cameraName");
        name->setModified(true);
        emit name->editingFinished();
        QCOMPARE(sent(), QString());
        name->setText(QStringLiteral("XY")); // set by the program, not typed
        emit name->editingFinished();
        QCOMPARE(sent(), QString());
        const auto type = [name](const QString& text) {
            name->selectAll();
            name->insert(text);
            QTest::keyClick(name, Qt::Key_Return);
        };
        type(QStringLiteral("AB"));
        QCOMPARE(sent(), QStringLiteral("81 01 04 23 02 00 02 00 00 FF | 81 01 04 23 00 04 02 04 01 FF"));
        QCOMPARE(resync.at(0).at(0).toInt(), int(ResyncName));
        // A name the registers cannot give back: a beep, nothing written, the name shown again.
        type(QString::fromUtf8("Caf\u00e9"));
        QCOMPARE(name->text(), QStringLiteral("AB"));
        QCOMPARE(sent(), QString());
        // A name of bad length: a beep, and the camera is named "Cam ?", which the field shows.
        name->setText(QString());
        name->setModified(true);
        m_pane->slot_nameChanged();
        QCOMPARE(m_beeps, 2);
        QCOMPARE(resync.count(), 2);
        QCOMPARE(m_camera->deviceName(false), QStringLiteral("Cam ?"));
        QCOMPARE(name->text(), QStringLiteral("Cam?"));
    }

    void slotChange()
    {
        QSignalSpy resync(m_pane, SIGNAL(sig_resync(ResyncType)));
        choose(find<QuvComboBox>("slot"), 2);
        QVERIFY(m_other.waitForPacket(hexBytes("81 01 04 22 00 00 00 00 FF")));
        QCOMPARE(sent(), QStringLiteral("81 01 04 22 00 00 00 02 FF"));
        QCOMPARE(resync.at(0).at(0).toInt(), int(ResyncSlot));
        m_sim->setWord(hexBytes("04 22"), 0);
        m_other.setWord(hexBytes("04 22"), 2);
    }

    void whiteBalanceAndGains()
    {
        auto* onePush = find<QPushButton>("onePushSet");
        auto* rSlider = find<SegmentSlider>("rGainSlider");
        // By button: the member order differs from the value order.
        for (const char* mode : { "wb_awb 00", "wb_daylight 02", "wb_indoor 01", "wb_custom 03", "wb_shade 04",
                 "wb_sodium 07", "wb_m 05" }) {
            const QStringList parts = QString::fromLatin1(mode).split(' ');
            auto* button = find<QPushButton>(qPrintable(parts.at(0)));
            button->click();
            QCOMPARE(sent(), QStringLiteral("81 01 04 35 %1 FF | 81 09 04 35 FF").arg(parts.at(1)));
            QVERIFY(button->isChecked());
            QCOMPARE(onePush->isEnabled(), parts.at(1) == "03");
            QCOMPARE(rSlider->isEnabled(), parts.at(1) == "05");
            if (onePush->isEnabled()) {
                onePush->click();
                QCOMPARE(sent(), QStringLiteral("81 01 04 10 05 FF"));
            }
        }
        // A mode without a button leaves the buttons and disables the rest.
        m_sim->setValue(hexBytes("04 35"), hexBytes("06"));
        m_pane->syncWbControls(false);
        QVERIFY(find<QPushButton>("wb_m")->isChecked() && !onePush->isEnabled() && !rSlider->isEnabled());
        m_sim->setValue(hexBytes("04 35"), hexBytes("05"));
        m_pane->syncWbControls(false);

        // Slider and spin box mirror each other without a second write.
        auto* rSpin = find<QuvDoubleSpinBox>("rGainSpin");
        QSignalSpy spun(rSpin, SIGNAL(valueChanged(double)));
        sent();
        rSlider->setValue(200);
        find<QuvDoubleSpinBox>("bGainSpin")->setValue(99.5);
        QCOMPARE(sent(), QStringLiteral("81 01 04 43 00 00 0C 08 FF | 81 01 04 44 00 00 06 04 FF"));
        QCOMPARE(rSpin->value(), 200.0);
        QCOMPARE(spun.count(), 0);
        QCOMPARE(find<SegmentSlider>("bGainSlider")->value(), 100);
        QCOMPARE(find<QuvDoubleSpinBox>("bGainSpin")->value(), 100.0);
        find<QPushButton>("rGainReset")->click();
        QCOMPARE(sent(), QStringLiteral("81 01 04 03 00 FF | 81 09 04 43 FF"));
        QCOMPARE(rSlider->value(), 128);
        QCOMPARE(rSpin->value(), 128.0);
        find<QPushButton>("bGainReset")->click();
        QCOMPARE(sent(), QStringLiteral("81 01 04 04 00 FF | 81 09 04 44 FF"));
    }

    void switches_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("off");
        QTest::newRow("back light") << "backLight"
                                    << "81 01 04 33 02 FF"
                                    << "81 01 04 33 03 FF";
        QTest::newRow("IR cut") << "irCutFilter"
                                << "81 01 04 01 02 FF"
                                << "81 01 04 01 03 FF";
        QTest::newRow("display") << "osd"
                                 << "81 01 04 15 02 FF"
                                 << "81 01 04 15 03 FF";
        QTest::newRow("V flip") << "flipV"
                                << "81 01 04 66 03 FF"
                                << "81 01 04 66 02 FF";
        QTest::newRow("H flip") << "flipH"
                                << "81 01 04 61 02 FF"
                                << "81 01 04 61 03 FF";
        QTest::newRow("mute") << "mute"
                              << "81 01 04 75 02 FF"
                              << "81 01 04 75 03 FF";
        QTest::newRow("low delay (hidden)") << "lowDelay"
                                            << ""
                                            << "";
    }
    void switches()
    {
        QFETCH(QString, name);
        QFETCH(QString, on);
        QFETCH(QString, off);
        auto* button = find<QPushButton>(qPrintable(name));
        button->click();
        QCOMPARE(sent(), on);
        button->click();
        QCOMPARE(sent(), off);
        QCOMPARE(button->isHidden(), on.isEmpty());
    }

    void noiseReductionAndColourBars()
    {
        auto* type = find<QuvComboBox>("nrType");
        auto* level = find<SegmentSlider>("nrLevel");
        m_sim->setValue(hexBytes("04 53"), hexBytes("7F"));
        m_sim->setValue(hexBytes("05 53"), hexBytes("02 04"));
        m_pane->syncNr(false);
        QCOMPARE(type->currentIndex(), 1);
        QCOMPARE(level->value(), 4);
        QCOMPARE(sent(), QStringLiteral("81 09 04 53 FF | 81 09 05 53 FF | 81 01 05 53 04 04 FF"));
        level->setValue(2);
        choose(type, 0);
        level->setValue(3);
        choose(type, 1);
        QCOMPARE(sent(),
            QStringLiteral("81 01 05 53 02 02 FF | 81 01 04 53 02 FF | 81 01 04 53 03 FF | 81 01 04 53 "
                           "7F FF | 81 01 05 53 03 03 FF"));
        auto* bars = find<QuvComboBox>("colorBar");
        choose(bars, 3);
        QCOMPARE(sent(), QStringLiteral("81 01 7E 04 7D 03 FF"));
        m_sim->setValue(hexBytes("7E 04 7D"), hexBytes("05"));
        m_pane->uiSync(false);
        QCOMPARE(bars->currentIndex(), -1);
        m_sim->setValue(hexBytes("7E 04 7D"), hexBytes("00"));
        m_pane->uiSync(false);
        QCOMPARE(bars->currentIndex(), 0);
    }

    void spotSwitchDragAndMenu_data()
    {
        QTest::addColumn<bool>("flipped");
        QTest::addColumn<QString>("centre");
        QTest::addColumn<QPoint>("snapped");
        QTest::addColumn<QPoint>("mirrored");
        // Window corners (1344, 693) and (1536, 792) in frame units, in pixels of the 224 x 126 picture.
        QTest::newRow("unflipped") << false << "00 08 00 08" << QPoint(78, 40) << QPoint(90, 46);
        QTest::newRow("flipped") << true << "00 08 00 07" << QPoint(90, 40) << QPoint(78, 46);
    }
    void spotSwitchDragAndMenu()
    {
        QFETCH(bool, flipped);
        QFETCH(QString, centre);
        QFETCH(QPoint, snapped);
        QFETCH(QPoint, mirrored);
        QVERIFY(setVFlip(flipped));
        auto* focus = find<ScreenProxyIcon>("spotFocusPicture");
        auto* ae = find<ScreenProxyIcon>("spotAePicture");
        // Off: inert, no menu.
        QVERIFY(!focus->GetEditable());
        QList<quvtest::Shown> shown;
        QUV_ANSWER([&] { emit focus->customContextMenuRequested(QPoint(5, 5)); }, &shown);
        QCOMPARE(shown.size(), 0);
        sent();
        find<QPushButton>("spotFocus")->click();
        find<QPushButton>("spotAe")->click();
        QCOMPARE(sent(), QStringLiteral("81 01 05 08 02 FF | 81 01 04 59 02 FF"));
        QVERIFY(focus->GetEditable() && ae->GetEditable());
        // Slots that need a sender do nothing when called directly.
        m_pane->slot_selectWb();
        QUV_ANSWER([&] { m_pane->slot_spotContextMenu(QPoint(5, 5)); }, &shown);
        QCOMPARE(shown.size(), 0);

        emit focus->RoiChanged(QRect(1440, 742, 960, 675));
        QUV_ANSWER(
            [&] { emit ae->customContextMenuRequested(QPoint(5, 5)); }, &shown, { QStringLiteral("Move to Center") });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().items, QStringList(QStringLiteral("Move to Center")));
        QCOMPARE(sent(), QStringLiteral("81 01 05 68 %1 FF | 81 01 04 29 %1 FF").arg(centre));
        // A re-read snaps the window to the grid; a flip mirrors both windows at once.
        m_pane->syncSpotAePos(false);
        QCOMPARE(corner(ae), snapped);
        QVERIFY(setVFlip(!flipped));
        QCOMPARE(corner(ae), mirrored);
        QCOMPARE(corner(focus), mirrored);
        // A flip made elsewhere reaches the pane as a resync: the switch and both windows follow, without a read.
        m_camera->viscaSetVFlip(flipped);
        sent();
        m_pane->uiResync(ResyncFlipV);
        QCOMPARE(find<QPushButton>("flipV")->isChecked(), flipped);
        QCOMPARE(corner(ae), snapped);
        QCOMPARE(corner(focus), snapped);
        QCOMPARE(sent(), QString());
        find<QPushButton>("spotAe")->click();
        QCOMPARE(sent(), QStringLiteral("81 01 04 59 03 FF"));
        QVERIFY(!ae->GetEditable());
        m_sim->setValue(hexBytes("05 08"), hexBytes("03"));
    }

    void gamma()
    {
        auto* mode = find<QuvComboBox>("gammaMode");
        auto* patternSpin = find<QuvDoubleSpinBox>("gammaPatternSpin");
        auto* offsetSpin = find<QuvDoubleSpinBox>("gammaOffsetSpin");
        // "Straight", chosen, disables the pattern controls; the camera's mode, read, decides again.
        // The camera's 512 Pattern mode read: whether the pane shows it with the pattern controls on.
        const auto readMode = [&] {
            m_sim->setValue(hexBytes("04 5B"), hexBytes("02"));
            m_pane->syncGammaMode(false);
            sent();
            return patternSpin->isEnabled() && mode->currentIndex() == 2;
        };
        QVERIFY(readMode());
        choose(mode, 1);
        QVERIFY(settle());
        QCOMPARE(sent(), QStringLiteral("81 01 04 5B 01 FF"));
        QVERIFY(!patternSpin->isEnabled() && !find<QPushButton>("gammaPatternReset")->isEnabled());
        QVERIFY(offsetSpin->isEnabled() && find<QPushButton>("gammaOffsetReset")->isEnabled());
        QVERIFY(readMode());
        offsetSpin->setValue(-20);
        QCOMPARE(find<SegmentSlider>("gammaOffsetSlider")->value(), -20);
        QVERIFY(settle());
        QCOMPARE(sent(), QStringLiteral("81 01 04 1E 00 00 00 01 01 04 FF"));
        find<QPushButton>("gammaOffsetReset")->click();
        QCOMPARE(sent(), QStringLiteral("81 01 04 1E 00 00 00 00 00 00 FF | 81 09 04 1E FF"));
        QCOMPARE(offsetSpin->value(), 0.0);

        // On a slow camera a dragged pattern still waits when the reset comes: the reset wins.
        choose(mode, 2);
        QVERIFY(settle());
        sent();
        m_sim->addFault(CamSim::Rule(CamSim::Fault::Delay).ms(1500).times(1));
        m_camera->viscaPush(ViscaMsg::Iris, 5, -1);
        QVERIFY(m_sim->waitForPackets(1));
        find<SegmentSlider>("gammaPatternSlider")->setValue(40);
        QCOMPARE(patternSpin->value(), 40.0);
        find<QPushButton>("gammaPatternReset")->click();
        QVERIFY(settle());
        QCOMPARE(sent(), QStringLiteral("81 01 04 4B 00 00 00 05 FF | 81 01 05 5B 01 00 00 FF | 81 09 05 5B FF"));
        QCOMPARE(patternSpin->value(), 256.0);
    }

    void cameraRemovedDuringABoxOrMenu()
    {
        // The selected camera goes while a menu or a box is open; then the pane acts on the empty slot's placeholder.
        m_set->selectIndex(2);
        m_pane->uiSync(true);
        const auto remove
            = [this] { m_set->deviceSetCreate({ SerialPortDesc::forDevicePath(m_sim->devicePath()) }, false); };
        auto* focus = find<ScreenProxyIcon>("spotFocusPicture");
        find<QPushButton>("spotFocus")->click();
        QVERIFY(focus->GetEditable());
        QUV_ANSWER([&] { emit focus->customContextMenuRequested(QPoint(5, 5)); }, nullptr,
            { QStringLiteral("Move to Center"), QString(), remove });
        QVERIFY(!m_set->getAt(2));
        QCOMPARE(focus->roi().topLeft(), QPoint(1440, 742));
        // Back again, for the box.
        QTRY_VERIFY_WITH_TIMEOUT(m_set->processingCount() == 0, 30000);
        m_set->deviceSetCreate(
            { SerialPortDesc::forDevicePath(m_sim->devicePath()), SerialPortDesc::forDevicePath(m_other.devicePath()) },
            false);
        QTRY_VERIFY_WITH_TIMEOUT(m_set->processingCount() == 0 && m_set->getAt(2), 30000);
        m_pane->uiSync(true);
        QList<quvtest::Shown> shown;
        QUV_ANSWER([&] { choose(find<QuvComboBox>("delayMode"), 1); }, &shown, { QString(), QString(), remove });
        QCOMPARE(shown.size(), 1);
        QVERIFY(!m_set->getAt(2));
        QVERIFY(find<QPushButton>("apply")->isEnabled());
        // Failed reads leave their presets.
        m_pane->syncInfo(true);
        QCOMPARE(find<QLineEdit>("temperature")->text(), QStringLiteral("0 C / 32 F"));
        QCOMPARE(find<QuvComboBox>("slot")->currentText(), QStringLiteral("Slot 1"));
        find<SegmentSlider>("nrLevel")->setValue(3);
        m_pane->syncNr(true);
        QCOMPARE(find<SegmentSlider>("nrLevel")->value(), 0);
    }
};

QUV_TEST_MAIN_WITH(TestPaneSettings, PanesApplication)
#include "test_panesettings.moc"
