#pragma once

// A text picture of a widget tree, compared with a reference file kept beside
// the tests. It pins what a person sees of a fixed layout (geometry, texts,
// tool tips, images, style sheets, ranges) in one comparison, so a control that
// moves by a pixel or a tool tip that changes a letter fails the test with the
// lines that differ.

#include <QString>

class QWidget;

namespace quvtest {

// One line per widget below root (root included), indented by depth, in child
// order: class, object name, geometry and what the user sees of it. The inner
// parts of composite widgets (spin boxes, combo boxes, scroll areas) and
// separate windows (menus, dialogs) are left out.
QString describeWidgetTree(const QWidget* root);

// Compares describeWidgetTree(root) with the reference file
// tests/<relativePath> of the source tree. With QUV_UPDATE_LAYOUTS=1 in the
// environment the file is written instead and the comparison passes. On a
// mismatch, message holds the first lines that differ.
bool matchesLayout(const QWidget* root, const QString& relativePath, QString* message);

} // namespace quvtest

#define QUV_VERIFY_LAYOUT(widget, relativePath)                                                                        \
    do {                                                                                                               \
        QString quvLayoutMessage;                                                                                      \
        QVERIFY2(quvtest::matchesLayout(widget, relativePath, &quvLayoutMessage), qPrintable(quvLayoutMessage));       \
    } while (false)
