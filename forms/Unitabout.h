#pragma once

#include "ui_Unitabout.h"

#include <QDialog>

// The about box: product name, version, rights, notice and the maker's links.
class TFormAbout : public QDialog, private Ui::TFormAbout
{
public:
    // The version numbers are those the main window read from the build.
    TFormAbout(QWidget* owner, quint16 major, quint16 minor, quint16 release, quint16 build);

    // Escape closes the box with OK, as Enter does: OK is its only button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitToText();
    void LabelCompanyWebAddressClick();
    void LabelCompanyEMailClick();
};
