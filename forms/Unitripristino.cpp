#include "forms/Unitripristino.h"

#include "forms/CenterOnScreen.h"
#include "forms/GridLinesDelegate.h"
#include "forms/MessageBoxes.h"
#include "forms/Pictures.h"
#include "forms/Styling.h"
#include "util/Formats.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QLocale>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

namespace {

const QString DamagedText = QStringLiteral("danneggiato");
const QString OtherShapeText = QStringLiteral("non compatibile");
const QString CompactionName = QStringLiteral(" (compattazione)");
constexpr qint64 MiB = 1024 * 1024;
const QString FolderText = QStringLiteral("Backup nella cartella %1:");
const QString QuestionText =
    QStringLiteral("Ripristinare il backup del %1? Il diario attuale verrà salvato come backup.");
const QString TimeFormat = QStringLiteral("dd/MM/yyyy HH:mm");

enum Column { TakenColumn, RidesColumn, KmColumn, SizeColumn, FileColumn };

QString Question(const Backup::Entry& entry)
{
    return QuestionText.arg(entry.taken.toString(TimeFormat));
}

QTreeWidgetItem* RowOf(const Backup::Entry& entry, int index)
{
    // The compaction's copy lies beside the log, not in the folder the heading names.
    const QString name = entry.compaction ? QDir::toNativeSeparators(entry.path) + CompactionName
                                          : QFileInfo(entry.path).fileName();
    // "540 KiB", "20,5 MiB": a tenth of a kibibyte says nothing of a backup.
    const QString size =
        QLocale().formattedDataSize(entry.bytes, entry.bytes < MiB ? 0 : 1, QLocale::DataSizeIecFormat);
    auto* item = entry.damaged
                     ? new QTreeWidgetItem({entry.taken.toString(TimeFormat),
                                            entry.otherShape ? OtherShapeText : DamagedText, QString(), size, name})
                     : new QTreeWidgetItem({entry.taken.toString(TimeFormat), QString::number(entry.rides),
                                            Formats::OneDecimal(entry.km), size, name});
    item->setData(TakenColumn, Qt::UserRole, index);
    if (entry.damaged) {
        // Shown, so the rider knows it is there, but never chosen.
        item->setFlags(Qt::NoItemFlags);
        item->setToolTip(RidesColumn, entry.problem);
    }
    return item;
}

}

TFormRipristino::TFormRipristino(QWidget* owner, const QString& folder, std::vector<Backup::Entry> entries)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_entries(std::move(entries))
{
    setupUi(this);
    BitBtnRipristina->setIcon(Icon(QStringLiteral("restore")));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    LabelCartella->setText(FolderText.arg(QDir::toNativeSeparators(folder)));
    ListViewBackup->setItemDelegate(new GridLinesDelegate(ListViewBackup));
    KeepSelectionVisible(ListViewBackup);
    for (int column : {RidesColumn, KmColumn, SizeColumn})
        ListViewBackup->headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    FillList();
    setWindowTitle(QStringLiteral("Ripristina un backup"));

    connect(ListViewBackup, &QTreeWidget::itemSelectionChanged, this, &TFormRipristino::ListViewBackupSelectItem);
    connect(ListViewBackup, &QTreeWidget::itemDoubleClicked, this, &TFormRipristino::BitBtnRipristinaClick);
    connect(BitBtnRipristina, &QPushButton::clicked, this, &TFormRipristino::BitBtnRipristinaClick);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormRipristino::FillList()
{
    QTreeWidgetItem* newest = nullptr;
    for (int i = 0; i < int(m_entries.size()); ++i) {
        QTreeWidgetItem* item = RowOf(m_entries[i], i);
        ListViewBackup->addTopLevelItem(item);
        if (!newest && !m_entries[i].damaged)
            newest = item;
    }
    LabelNessunBackup->setVisible(m_entries.empty());
    FitColumnsToContents(ListViewBackup, {110, 60, 70, 80, 150});
    // Wide enough for every column, as far as the screen allows.
    int columns = 2 * ListViewBackup->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < ListViewBackup->columnCount(); ++column)
        columns += ListViewBackup->columnWidth(column);
    const QMargins margins = layout()->contentsMargins();
    const int available = screen() ? screen()->availableGeometry().width() : width();
    resize(std::clamp(columns + margins.left() + margins.right(), width(), std::max(width(), available)), height());
    if (newest)
        ListViewBackup->setCurrentItem(newest);
    ListViewBackupSelectItem();
}

void TFormRipristino::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}

const Backup::Entry* TFormRipristino::Chosen() const
{
    return m_chosen;
}

const Backup::Entry* TFormRipristino::Selected() const
{
    const QList<QTreeWidgetItem*> selected = ListViewBackup->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const Backup::Entry& entry = m_entries.at(selected.first()->data(TakenColumn, Qt::UserRole).toInt());
    return entry.damaged ? nullptr : &entry;
}

void TFormRipristino::ListViewBackupSelectItem()
{
    BitBtnRipristina->setEnabled(Selected() != nullptr);
}

void TFormRipristino::BitBtnRipristinaClick()
{
    const Backup::Entry* entry = Selected();
    if (!entry)
        return;
    if (MessageBoxes::Show(this, Question(*entry), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                           QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_chosen = entry;
    accept();
}
