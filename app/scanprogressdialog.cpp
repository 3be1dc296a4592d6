#include "app/scanprogressdialog.h"

#include "media/mediaresources.h"

#include "ui_scanprogressdialog.h"

ScanProgressDialog::ScanProgressDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui_ScanProgressDialog)
{
    media::initResources();
    m_ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

ScanProgressDialog::~ScanProgressDialog()
{
    delete m_ui;
}
