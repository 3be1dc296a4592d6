#pragma once

// Answers the modal dialogs and popup menus a test action opens, from a
// timer that runs inside their event loops, and tells what each showed. The
// result is the test's to check: a helper that checked inside the timer could
// not stop the test function.

#include <functional>

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace quvtest {

// What one dialog or popup menu showed.
struct Shown
{
    QString className; // "QuvMenu", "QMessageBox", "QInputDialog", "QFileDialog", ...
    QString title; // the window title (empty for a menu)
    QString text; // a box's text, an input dialog's label, a file dialog's name filters (";" between)
    QString detail; // a box's informative text, an input dialog's start text, a file dialog's folder
    // A menu's items ("*" before a checked one, "" for a separator) or a box's
    // buttons ("*" before its default button).
    QStringList items;
    QStringList data; // a menu's item data, as text
    QPoint pos; // where it opened, in global coordinates
};

// How to answer one dialog or menu.
struct Answer
{
    Answer(const QString& choice = QString(), const QString& text = QString(), std::function<void()> during = nullptr)
        : choice(choice)
        , text(text)
        , during(std::move(during))
    { }

    // A menu's item or a box's button to click by its text; "Cancel" rejects
    // an input or file dialog. Empty: a menu is closed with Escape, a box gets
    // its default button (or is accepted), an input or file dialog is accepted.
    QString choice;
    // The text typed into an input dialog, or the file name into a file dialog.
    QString text;
    // Runs while the dialog or menu is shown, before it is answered.
    std::function<void()> during;
};

// Runs act; each modal dialog or popup menu that opens meanwhile is recorded
// in *shown (when given) and answered with the next of answers, the last one
// again for any after it (with none, as an empty Answer). False, with the
// reason in *failure, when fewer windows came than answers, or when a window
// did not take its answer (it is closed then, so that the test goes on).
bool answerWhile(const std::function<void()>& act, const QList<Answer>& answers, QList<Shown>* shown = nullptr,
    QString* failure = nullptr);

// Sends widget a mouse context menu request at pos (widget coordinates).
void requestContextMenu(QWidget* widget, const QPoint& pos);

} // namespace quvtest

// Runs act and answers its dialogs and menus with the answers that follow
// (Answer initialisers, none for the defaults); shown may be null. Fails the
// test function where the answering failed.
#define QUV_ANSWER(act, shown, ...)                                                                                    \
    do {                                                                                                               \
        QString quvAnswerFailure;                                                                                      \
        QVERIFY2(quvtest::answerWhile(act, QList<quvtest::Answer> { __VA_ARGS__ }, shown, &quvAnswerFailure),          \
            qPrintable(quvAnswerFailure));                                                                             \
    } while (false)
