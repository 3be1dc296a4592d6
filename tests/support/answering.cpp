#include "answering.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quvtest {

namespace {

// The window to answer now: a shown popup menu, else a shown message box,
// input dialog or file dialog. Other modal windows (the program's status
// dialog, shown without blocking) are left alone.
QWidget* openWindow()
{
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu && menu->isVisible())
        return menu;
    QWidget* modal = QApplication::activeModalWidget();
    const bool answerable
        = qobject_cast<QMessageBox*>(modal) || qobject_cast<QInputDialog*>(modal) || qobject_cast<QFileDialog*>(modal);
    return answerable && modal->isVisible() ? modal : nullptr;
}

Shown describe(QWidget* window)
{
    Shown shown;
    shown.className = QLatin1String(window->metaObject()->className());
    shown.pos = window->pos();
    if (auto* menu = qobject_cast<QMenu*>(window)) {
        for (QAction* action : menu->actions()) {
            shown.items.append((action->isChecked() ? QStringLiteral("*") : QString()) + action->text());
            shown.data.append(action->data().toString());
        }
        return shown;
    }
    shown.title = window->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        shown.text = box->text();
        shown.detail = box->informativeText();
        for (QAbstractButton* button : box->buttons())
            shown.items.append((button == box->defaultButton() ? QStringLiteral("*") : QString()) + button->text());
    } else if (auto* input = qobject_cast<QInputDialog*>(window)) {
        shown.text = input->labelText();
        shown.detail = input->textValue();
    } else if (auto* files = qobject_cast<QFileDialog*>(window)) {
        shown.text = files->nameFilters().join(QLatin1Char(';'));
        shown.detail = files->directory().path();
    }
    return shown;
}

// Gives window its answer; false when there is nothing to act on for it.
bool give(QWidget* window, const Answer& answer)
{
    if (auto* menu = qobject_cast<QMenu*>(window)) {
        if (answer.choice.isEmpty()) {
            QTest::keyClick(menu, Qt::Key_Escape);
            return true;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == answer.choice) {
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
                return true;
            }
        }
        return false;
    }
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        if (answer.choice.isEmpty()) {
            if (box->defaultButton())
                box->defaultButton()->click();
            else
                box->accept();
            return true;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == answer.choice) {
                button->click();
                return true;
            }
        }
        return false;
    }
    const bool cancel = answer.choice == QLatin1String("Cancel");
    if (auto* input = qobject_cast<QInputDialog*>(window)) {
        input->setTextValue(answer.text);
        cancel ? input->reject() : input->accept();
        return true;
    }
    if (auto* files = qobject_cast<QFileDialog*>(window)) {
        // Typed as a user types it: selectFile would take an absolute path as relative.
        if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(answer.text);
        // QFileDialog::accept, which checks the file, is public through QDialog.
        cancel ? files->reject() : static_cast<QDialog*>(files)->accept();
        return true;
    }
    return false;
}

} // namespace

bool answerWhile(const std::function<void()>& act, const QList<Answer>& answers, QList<Shown>* shown, QString* failure)
{
    QList<Shown> seen;
    QStringList problems;
    QPointer<QWidget> answering;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // One answer per showing: a window answered may take a moment to close.
        if (answering && !answering->isVisible())
            answering = nullptr;
        QWidget* window = openWindow();
        if (!window || window == answering)
            return;
        answering = window;
        const Answer answer = answers.isEmpty() ? Answer() : answers.value(seen.size(), answers.last());
        seen.append(describe(window));
        if (answer.during)
            answer.during();
        const QPointer<QWidget> guard(window);
        const bool given = guard && give(window, answer);
        if (guard && (!given || guard->isVisible())) {
            problems.append(QStringLiteral("%1 \"%2\" did not take the answer \"%3\"")
                                .arg(seen.last().className, seen.last().title, answer.choice));
            guard->close();
        }
    });
    poll.start(10);
    act();
    poll.stop();
    if (seen.size() < answers.size())
        problems.append(
            QStringLiteral("%1 dialogs or menus came, %2 were expected").arg(seen.size()).arg(answers.size()));
    if (shown)
        *shown = seen;
    if (failure)
        *failure = problems.join(QLatin1String("; "));
    return problems.isEmpty();
}

void requestContextMenu(QWidget* widget, const QPoint& pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
}

} // namespace quvtest
