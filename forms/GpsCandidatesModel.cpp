#include "forms/GpsCandidatesModel.h"

#include "util/Formats.h"

#include <QApplication>
#include <QDir>
#include <QStyle>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

const std::array<ReportColumn, GpsCandidatesModel::ColumnCount> GpsCandidatesModel::ColumnTable = {{
    {"File", 170, Qt::AlignLeft},
    {"Data", 75, Qt::AlignHCenter},
    {"Sport", 75, Qt::AlignLeft},
    {"KM", 55, Qt::AlignRight},
    {"Tempo", 60, Qt::AlignRight},
    {"Tipo", 90, Qt::AlignLeft},
    {"Descrizione", 170, Qt::AlignLeft},
    {"Stato", 150, Qt::AlignLeft},
}};

namespace {

QString TimeText(double seconds)
{
    const qint64 whole = qint64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

}

GpsCandidatesModel::GpsCandidatesModel(std::vector<GpsImport::Candidate> candidates, GpsImport::KnownRides known,
                                       QList<Rides::RideType> types, QObject* parent)
    : ReportListModel(ColumnTable, parent), m_candidates(std::move(candidates)), m_known(std::move(known)),
      m_types(std::move(types))
{
}

qsizetype GpsCandidatesModel::TickedCount() const
{
    return std::count_if(m_candidates.cbegin(), m_candidates.cend(),
                         [](const GpsImport::Candidate& candidate) { return candidate.ticked; });
}

std::vector<GpsImport::Candidate> GpsCandidatesModel::Ticked() const
{
    std::vector<GpsImport::Candidate> ticked;
    std::copy_if(m_candidates.cbegin(), m_candidates.cend(), std::back_inserter(ticked),
                 [](const GpsImport::Candidate& candidate) { return candidate.ticked; });
    return ticked;
}

QString GpsCandidatesModel::StateText(const GpsImport::Candidate& candidate)
{
    switch (candidate.state) {
    case GpsImport::State::New: return QStringLiteral("nuova");
    case GpsImport::State::AlreadyPresent: return QStringLiteral("già presente");
    case GpsImport::State::MaybePresent: return QStringLiteral("forse già presente");
    case GpsImport::State::OtherSport:
        return candidate.reason.isEmpty() ? QStringLiteral("non è ciclismo") : candidate.reason;
    case GpsImport::State::OutsideRules:
    case GpsImport::State::Unreadable: return candidate.reason;
    }
    return {};
}

QString GpsCandidatesModel::TypeName(int key) const
{
    for (const Rides::RideType& type : m_types)
        if (type.key == key)
            return type.name;
    return {};
}

int GpsCandidatesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_candidates.size());
}

QVariant GpsCandidatesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const GpsImport::Candidate& candidate = m_candidates.at(size_t(index.row()));
    const bool readable = candidate.state != GpsImport::State::Unreadable;
    switch (role) {
    case Qt::CheckStateRole:
        if (index.column() != File || !candidate.Tickable())
            return {};
        return candidate.ticked ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole:
        // Where a row cannot be ticked, a warning takes the tick box's place.
        if (index.column() == File && !candidate.Tickable())
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == File)
            return QDir::toNativeSeparators(QFileInfo(candidate.file).absoluteFilePath());
        if (index.column() == State || index.column() == Description)
            return data(index, Qt::DisplayRole);
        return {};
    case Qt::EditRole:
        if (index.column() == Type)
            return candidate.type;
        if (index.column() == Description)
            return candidate.description;
        return {};
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    switch (index.column()) {
    case File: return QFileInfo(candidate.file).fileName();
    case Date: return readable ? candidate.date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    case Sport: return readable ? GpsImport::SportName(candidate.session.sport) : QString();
    case Km: return readable ? Formats::TwoDecimals(candidate.km) : QString();
    case Time: return readable ? TimeText(candidate.seconds) : QString();
    case Type: return readable ? TypeName(candidate.type) : QString();
    case Description: return readable ? candidate.description : QString();
    case State: return StateText(candidate);
    default: return {};
    }
}

bool GpsCandidatesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    GpsImport::Candidate& candidate = m_candidates.at(size_t(index.row()));
    if (role == Qt::CheckStateRole && index.column() == File) {
        candidate.ticked = value.value<Qt::CheckState>() == Qt::Checked;
        // A ticked ride makes those it overlaps "già presente", and an unticked one frees them.
        GpsImport::Reclassify(m_candidates, m_known);
        Q_EMIT dataChanged(this->index(0, 0), this->index(rowCount() - 1, ColumnCount - 1),
                           {Qt::CheckStateRole, Qt::DisplayRole, Qt::ToolTipRole});
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    if (index.column() == Type) {
        const int key = value.toInt();
        if (TypeName(key).isEmpty())
            return false;
        candidate.type = key;
    } else if (index.column() == Description) {
        candidate.description = value.toString().left(MaxDescription);
    } else {
        return false;
    }
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags GpsCandidatesModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const GpsImport::Candidate& candidate = m_candidates.at(size_t(index.row()));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!candidate.Tickable())
        return flags;
    if (index.column() == File)
        flags |= Qt::ItemIsUserCheckable;
    if (index.column() == Type || index.column() == Description)
        flags |= Qt::ItemIsEditable;
    return flags;
}
