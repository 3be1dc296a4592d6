#pragma once

#include <QApplication>
#include <QJsonDocument>
#include <QPointer>
#include <QString>

#include "quvapp/quvstyle.h"

// The application object: a QApplication that, when built, installs a
// QuvStyle of the chosen look with that style's palette and style sheet.
class QuvApplication : public QApplication
{
public:
    QuvApplication(int& argc, char** argv, QuvStyleLook look);

    // The style's sheet, built anew on each call.
    QString getStyleSheet();

    // Sets the style's sheet on the application again.
    void updateStyleSheet();

    // Kept for programs that ask the application for its description; always empty.
    static QJsonDocument GetLinuxAppInfo(QString name);

    // The application's version text (at most 63 bytes of UTF-8), or fallback
    // when the platform gives none. bundleId is not used on this platform.
    static QString GetPlatformSpecificVersionString(QString fallback, QString bundleId);

    // The application's copyright text, or fallback when the platform gives
    // none; then without the version text and with every "(C)" written as the
    // copyright sign.
    static QString GetPlatformSpecificCopyrightString(QString fallback, QString bundleId);

private:
    // Owned by QApplication once set; null once another style replaces it.
    QPointer<QuvStyle> m_style;
};
