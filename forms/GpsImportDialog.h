#pragma once

#include "data/Rides.h"
#include "gps/GpsImport.h"

#include "ui_GpsImportDialog.h"

#include <QDialog>

#include <vector>

class GpsCandidatesModel;

// "Importa uscite da file GPS": the candidate rides of the files read, for
// the rider to tick, retype and describe. "Importa" (or Enter) accepts with
// the ticked ones; "Annulla" leaves the log as it is.
class GpsImportDialog : public QDialog, private Ui::GpsImportDialog
{
public:
    GpsImportDialog(QWidget* owner, std::vector<GpsImport::Candidate> candidates, GpsImport::KnownRides known,
                    QList<Rides::RideType> types);

    // The ticked candidates, with the rider's types and descriptions.
    std::vector<GpsImport::Candidate> Ticked() const;
    GpsCandidatesModel* Model() const { return m_model; }

    // "3 uscite trovate in 2 file, 2 da importare; 1 file non leggibile."
    static QString CountText(const std::vector<GpsImport::Candidate>& candidates);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowCount();

    GpsCandidatesModel* m_model;
};
