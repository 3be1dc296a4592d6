#pragma once

#include <QDialog>

class Ui_ScanProgressDialog;

// The small status window: an icon and one line of text, shown while cameras
// are scanned, read or restarted, and for the program's version. It has no
// slots of its own; the main window sets its title and text.
class ScanProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ScanProgressDialog(QWidget* parent);
    ~ScanProgressDialog() override;

    ScanProgressDialog(const ScanProgressDialog&) = delete;
    ScanProgressDialog& operator=(const ScanProgressDialog&) = delete;

private:
    Ui_ScanProgressDialog* m_ui;
};
