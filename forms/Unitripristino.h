#pragma once

#include "tools/Backup.h"

#include "ui_Unitripristino.h"

#include <QDialog>

#include <vector>

// "Ripristina un backup": the backups the caller found, newest first, the
// newest sound one selected; a damaged one, or one of another shape, is
// shown but cannot be chosen.
// "Ripristina" (or Enter, or a double click on a row) asks for confirmation
// and accepts the dialog with that backup chosen.
class TFormRipristino : public QDialog, private Ui::TFormRipristino
{
public:
    TFormRipristino(QWidget* owner, const QString& folder, std::vector<Backup::Entry> entries);

    // The backup confirmed; null until then.
    const Backup::Entry* Chosen() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillList();
    const Backup::Entry* Selected() const;
    void ListViewBackupSelectItem();
    void BitBtnRipristinaClick();

    std::vector<Backup::Entry> m_entries;
    const Backup::Entry* m_chosen = nullptr;
};
