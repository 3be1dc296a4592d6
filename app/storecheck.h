#pragma once

// Checks that what the program writes to the preference store reaches the
// disk. QSettings keeps a change it could not write in memory and tries it
// again at the next flush of any instance, but tells of a failure only through
// the status of the instance that flushed; and it drops the store's contents,
// changes and all, when the last instance that uses the file ends (at once
// when there is no file yet, or when the store is large). So a store that
// cannot be written (a folder owned by another user, a full disk, a folder in
// the file's place) would lose changes without a word.

#include <QString>

class QWidget;

namespace storecheck {

// Keeps the settings away from a store that is not a regular file. Built once
// the application's names are set and before any settings are read; lives
// until no settings are written any more. When the store file, or the
// organisation's file beside it, is a named pipe, a socket or a device (or a
// link to one), reading it could wait for ever or never end, and saving it
// would put a file in its place. The settings of the run are then held in
// memory only: the program starts on its defaults, the file is neither
// opened nor replaced, and checkAtStart says why. A folder in the file's
// place needs none of this: it can be neither opened nor replaced, and
// checkAtStart tells of it as of any store that cannot be written. One object
// at a time; GUI thread.
class StoreGuard
{
public:
    StoreGuard();
    ~StoreGuard();

    StoreGuard(const StoreGuard&) = delete;
    StoreGuard& operator=(const StoreGuard&) = delete;

    // Whether the settings are kept away from the store.
    bool diverted() const { return !m_userPath.isEmpty(); }

private:
    // The store's folder, to put back at the end; empty when not diverted.
    QString m_userPath;
};

// One user action that writes to the store, from construction to
// destruction; actions may nest. From the first action on, the store's
// contents are held in memory for the rest of the run, so that changes that
// cannot be written are still read back. When the outermost action ends the
// store is flushed; the first failure in a run is shown in a warning box over
// parent that names the file and the reason. The changes stay in memory and
// are written by a later flush once the file can be written again.
class Action
{
public:
    explicit Action(QWidget* parent);
    ~Action();

    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

private:
    QWidget* m_parent;
};

// Checks once at start that the store can be written, and from then on holds
// its contents in memory as an action does. A store that cannot be written,
// or that a StoreGuard keeps the settings away from, is shown in the actions'
// warning box over parent (the box of the run): else a run without an action
// would lose what it writes at exit (window place, pane, zoom speed) with
// only a line on the debug output.
void checkAtStart(QWidget* parent);

// Flushes the settings written at exit. When they cannot reach the disk, a
// warning on the debug output names the file and says why: no window is left
// to show it in.
void flushAtExit();

} // namespace storecheck
