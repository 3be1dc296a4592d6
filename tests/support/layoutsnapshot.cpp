#include "layoutsnapshot.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

namespace quvtest {

namespace {

QString quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString sizeText(const QSize& size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// The properties of one widget that a person sees or a style sheet selects on.
QStringList traits(const QWidget* w)
{
    QStringList out;
    if (w->isHidden())
        out << QStringLiteral("hidden");
    if (!w->isEnabled())
        out << QStringLiteral("disabled");
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        if (button->isCheckable())
            out << (button->isChecked() ? QStringLiteral("checked") : QStringLiteral("checkable"));
        if (!button->text().isEmpty())
            out << QStringLiteral("text=") + quoted(button->text());
        if (!button->icon().isNull())
            out << QStringLiteral("icon=") + sizeText(button->iconSize());
        if (const auto* push = qobject_cast<const QPushButton*>(w); push && push->isFlat())
            out << QStringLiteral("flat");
    }
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (!label->text().isEmpty())
            out << QStringLiteral("text=") + quoted(label->text());
        if (!label->pixmap(Qt::ReturnByValue).isNull())
            out << QStringLiteral("pixmap=") + sizeText(label->pixmap(Qt::ReturnByValue).size());
        out << QStringLiteral("align=%1").arg(int(label->alignment()));
    }
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(w))
        out << QStringLiteral("range=%1..%2 value=%3 %4")
                   .arg(slider->minimum())
                   .arg(slider->maximum())
                   .arg(slider->value())
                   .arg(slider->orientation() == Qt::Horizontal ? "horizontal" : "vertical");
    if (const auto* spin = qobject_cast<const QSpinBox*>(w))
        out << QStringLiteral("range=%1..%2 value=%3").arg(spin->minimum()).arg(spin->maximum()).arg(spin->value());
    if (const auto* spin = qobject_cast<const QDoubleSpinBox*>(w))
        out << QStringLiteral("range=%1..%2 value=%3 decimals=%4")
                   .arg(spin->minimum())
                   .arg(spin->maximum())
                   .arg(spin->value())
                   .arg(spin->decimals());
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        out << QStringLiteral("items=") + quoted(items.join(QLatin1Char('|')))
            << QStringLiteral("current=%1").arg(combo->currentIndex());
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        out << QStringLiteral("text=") + quoted(edit->text());
        if (!edit->inputMask().isEmpty())
            out << QStringLiteral("mask=") + quoted(edit->inputMask());
        if (edit->maxLength() != 32767)
            out << QStringLiteral("maxLength=%1").arg(edit->maxLength());
    }
    if (!w->toolTip().isEmpty())
        out << QStringLiteral("tip=") + quoted(w->toolTip());
    if (!w->styleSheet().isEmpty())
        out << QStringLiteral("sheet=") + quoted(w->styleSheet());
    return out;
}

bool isComposite(const QWidget* w)
{
    return qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const QAbstractScrollArea*>(w);
}

void describe(const QWidget* w, int depth, QStringList& lines)
{
    const QRect g = w->geometry();
    QString line = QString(depth * 2, QLatin1Char(' ')) + QLatin1String(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        line += QLatin1Char(' ') + quoted(w->objectName());
    line += QStringLiteral(" %1,%2 %3x%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
    const QStringList more = traits(w);
    if (!more.isEmpty())
        line += QLatin1Char(' ') + more.join(QLatin1Char(' '));
    lines << line;
    if (isComposite(w))
        return;
    for (const QObject* child : w->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget && !widget->isWindow())
            describe(widget, depth + 1, lines);
    }
}

} // namespace

QString describeWidgetTree(const QWidget* root)
{
    QStringList lines;
    describe(root, 0, lines);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool matchesLayout(const QWidget* root, const QString& relativePath, QString* message)
{
    const QString path = QStringLiteral(QUV_TEST_SOURCE_DIR "/") + relativePath;
    const QString actual = describeWidgetTree(root);
    if (qEnvironmentVariableIntValue("QUV_UPDATE_LAYOUTS") == 1) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(actual.toUtf8()) != actual.toUtf8().size()) {
            *message = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        return true;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *message = QStringLiteral("no reference layout %1 (run once with QUV_UPDATE_LAYOUTS=1 and review it)").arg(path);
        return false;
    }
    const QStringList expected = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    const QStringList got = actual.split(QLatin1Char('\n'));
    QStringList differences;
    for (int i = 0; i < std::max(expected.size(), got.size()) && differences.size() < 12; ++i) {
        const QString want = expected.value(i, QStringLiteral("<end>"));
        const QString have = got.value(i, QStringLiteral("<end>"));
        if (want != have)
            differences << QStringLiteral("line %1\n  expected: %2\n  actual:   %3").arg(i + 1).arg(want, have);
    }
    if (differences.isEmpty())
        return true;
    *message = QStringLiteral("layout differs from %1:\n").arg(path) + differences.join(QLatin1Char('\n'));
    return false;
}

} // namespace quvtest
