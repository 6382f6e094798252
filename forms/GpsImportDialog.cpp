#include "forms/GpsImportDialog.h"

#include "forms/CenterOnScreen.h"
#include "forms/GpsCandidateDelegate.h"
#include "forms/GpsCandidatesModel.h"
#include "forms/Pictures.h"
#include "forms/Styling.h"

#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>
#include <set>

namespace {

QString Counted(qsizetype n, const QString& one, const QString& many)
{
    return QLocale().toString(qlonglong(n)) + u' ' + (n == 1 ? one : many);
}

}

GpsImportDialog::GpsImportDialog(QWidget* owner, std::vector<GpsImport::Candidate> candidates,
                                 GpsImport::KnownRides known, QList<Rides::RideType> types)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                         | Qt::WindowMaximizeButtonHint),
      m_model(new GpsCandidatesModel(std::move(candidates), std::move(known), std::move(types), this))
{
    setupUi(this);
    BitBtnImporta->setIcon(Icon(QStringLiteral("import")));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    const QList<int> widths = ShowAsReport(ListViewUscite, m_model);
    ListViewUscite->setItemDelegate(new GpsCandidateDelegate(ListViewUscite));
    FitColumnsToContents(ListViewUscite, widths);
    ListViewUscite->header()->setStretchLastSection(true);
    // The list's full width on a screen that holds it; a smaller screen gets a scroll bar.
    int columns = 2 * ListViewUscite->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < m_model->columnCount(); ++column)
        columns += ListViewUscite->columnWidth(column);
    const QMargins margins = layout()->contentsMargins();
    const int available = screen() ? screen()->availableGeometry().width() * 9 / 10 : width();
    // Tall enough for a score of rows, as far as the screen allows.
    constexpr int RowsShown = 20;
    const int rows = std::clamp(m_model->rowCount(), 1, RowsShown);
    const int list = ListViewUscite->header()->sizeHint().height() + rows * ListViewUscite->sizeHintForRow(0)
                     + 2 * ListViewUscite->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int around = layout()->sizeHint().height() - ListViewUscite->sizeHint().height();
    const int high = screen() ? screen()->availableGeometry().height() * 8 / 10 : height();
    resize(std::clamp(columns + margins.left() + margins.right(), width(), std::max(width(), available)),
           std::clamp(around + list, height(), std::max(height(), high)));
    if (m_model->rowCount() > 0)
        ListViewUscite->setCurrentIndex(m_model->index(0, GpsCandidatesModel::File));

    connect(m_model, &QAbstractItemModel::dataChanged, this, &GpsImportDialog::ShowCount);
    connect(BitBtnImporta, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    ShowCount();
}

std::vector<GpsImport::Candidate> GpsImportDialog::Ticked() const
{
    return m_model->Ticked();
}

QString GpsImportDialog::CountText(const std::vector<GpsImport::Candidate>& candidates)
{
    std::set<QString> files, unreadable;
    qsizetype found = 0, ticked = 0;
    for (const GpsImport::Candidate& candidate : candidates) {
        files.insert(candidate.file);
        if (candidate.state == GpsImport::State::Unreadable) {
            unreadable.insert(candidate.file);
            continue;
        }
        ++found;
        ticked += candidate.ticked ? 1 : 0;
    }
    QString text = QStringLiteral("%1 in %2, %3.")
                       .arg(Counted(found, QStringLiteral("uscita trovata"), QStringLiteral("uscite trovate")),
                            QLocale().toString(qlonglong(files.size())) + QStringLiteral(" file"),
                            Counted(ticked, QStringLiteral("da importare"), QStringLiteral("da importare")));
    if (unreadable.empty())
        return text;
    text.chop(1);
    return text + QStringLiteral("; %1.").arg(Counted(qsizetype(unreadable.size()), QStringLiteral("file non leggibile"),
                                                      QStringLiteral("file non leggibili")));
}

void GpsImportDialog::ShowCount()
{
    LabelConteggio->setText(CountText(m_model->Candidates()));
    BitBtnImporta->setEnabled(m_model->TickedCount() > 0);
}

void GpsImportDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}
