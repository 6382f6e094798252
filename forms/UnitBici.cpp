#include "forms/UnitBici.h"

#include "forms/BikeDialog.h"
#include "forms/BikesModel.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "forms/MovePartDialog.h"
#include "forms/PartDialog.h"
#include "forms/PartsModel.h"
#include "forms/Pictures.h"
#include "forms/Styling.h"
#include "forms/WaitCursor.h"
#include "util/Exception.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

const QString TFormBici::WriteFailedText = QStringLiteral("ERRORE nel salvataggio di bici e componenti.");
const QString TFormBici::ReadFailedText = QStringLiteral("ERRORE nella lettura di bici e componenti.");

namespace {

const QString NoDefaultText = QStringLiteral("nessuna");
const QString RetireBikeText = QStringLiteral("&Ritira");
const QString ReuseBikeText = QStringLiteral("&Rimetti in uso");
const QString PartsTitle = QStringLiteral("Com&ponenti");
const QString PartsOfTitle = QStringLiteral("Com&ponenti di %1");
const QString PartsOnNoBikeTitle = QStringLiteral("Com&ponenti senza bici");
// Type defaults laid out this many to a row.
constexpr int TypesPerRow = 3;

QPushButton* Button(QWidget* owner, const char* name, const QString& text, QVBoxLayout* column)
{
    auto* button = new QPushButton(text, owner);
    button->setObjectName(QLatin1StringView(name));
    button->setAutoDefault(false);
    column->addWidget(button);
    return button;
}

// The list's room beyond its columns goes to the column `stretched`.
QTreeView* List(QWidget* owner, const char* name, ReportListModel* model, int stretched)
{
    auto* list = new QTreeView(owner);
    list->setObjectName(QLatin1StringView(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShowAsReport(list, model);
    list->header()->setSectionResizeMode(stretched, QHeaderView::Stretch);
    return list;
}

QString Escaped(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

}

TFormBici::TFormBici(QWidget* owner, BikeStore store, QList<Rides::RideType> types, const QDate& today)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                         | Qt::WindowMaximizeButtonHint),
      m_store(store), m_types(std::move(types)), m_today(today), m_bikes(new BikesModel(this)),
      m_parts(new PartsModel(this))
{
    setWindowTitle(QStringLiteral("Bici e componenti"));
    setSizeGripEnabled(true);
    BuildControls();
    m_garage = m_store.Garage();
    m_usage = m_store.Usage(m_garage, m_today);
    m_bikes->SetBikes(m_garage, m_usage);
    Select(ListViewBici, 0);
    ShowParts(0);
    ShowDefaults();
    resize(860, 660);
}

void TFormBici::BuildControls()
{
    auto* bikesBox = new QGroupBox(QStringLiteral("&Bici"), this);
    bikesBox->setObjectName(QStringLiteral("GroupBoxBici"));
    ListViewBici = List(bikesBox, "ListViewBici", m_bikes, BikesModel::Name);
    auto* bikeButtons = new QVBoxLayout;
    BitBtnAggiungiBici = Button(bikesBox, "BitBtnAggiungiBici", QStringLiteral("&Aggiungi..."), bikeButtons);
    BitBtnModificaBici = Button(bikesBox, "BitBtnModificaBici", QStringLiteral("&Modifica..."), bikeButtons);
    BitBtnRitiraBici = Button(bikesBox, "BitBtnRitiraBici", RetireBikeText, bikeButtons);
    BitBtnEliminaBici = Button(bikesBox, "BitBtnEliminaBici", QStringLiteral("&Elimina"), bikeButtons);
    bikeButtons->addStretch();
    auto* bikesLayout = new QHBoxLayout(bikesBox);
    bikesLayout->addWidget(ListViewBici, 1);
    bikesLayout->addLayout(bikeButtons);

    auto* defaultsBox = new QGroupBox(QStringLiteral("Bici predefinita per tipo di uscita"), this);
    defaultsBox->setObjectName(QStringLiteral("GroupBoxPredefinite"));
    auto* defaults = new QGridLayout(defaultsBox);
    for (qsizetype i = 0; i < m_types.size(); ++i) {
        auto* combo = new QComboBox(defaultsBox);
        combo->setObjectName(QStringLiteral("ComboBoxPredefinita%1").arg(m_types.at(i).key));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumContentsLength(14);
        auto* label = new QLabel(m_types.at(i).name + u':', defaultsBox);
        label->setBuddy(combo);
        const int row = int(i) / TypesPerRow, column = int(i) % TypesPerRow * 2;
        defaults->addWidget(label, row, column, Qt::AlignRight);
        defaults->addWidget(combo, row, column + 1);
        ComboBoxPredefinita.append(combo);
        connect(combo, &QComboBox::activated, this,
                [this, type = m_types.at(i).key, combo] { ComboBoxPredefinitaChange(type, combo); });
    }
    for (int column = 1; column < 2 * TypesPerRow; column += 2)
        defaults->setColumnStretch(column, 1);

    GroupBoxComponenti = new QGroupBox(PartsTitle, this);
    GroupBoxComponenti->setObjectName(QStringLiteral("GroupBoxComponenti"));
    ListViewComponenti = List(GroupBoxComponenti, "ListViewComponenti", m_parts, PartsModel::Notes);
    LabelStoria = new QLabel(GroupBoxComponenti);
    LabelStoria->setObjectName(QStringLiteral("LabelStoria"));
    LabelStoria->setWordWrap(true);
    LabelStoria->setTextFormat(Qt::PlainText);
    LabelStoria->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CheckBoxRitirati = new QCheckBox(QStringLiteral("Mostra &componenti ritirati"), GroupBoxComponenti);
    CheckBoxRitirati->setObjectName(QStringLiteral("CheckBoxRitirati"));
    auto* partButtons = new QVBoxLayout;
    BitBtnAggiungiComponente =
        Button(GroupBoxComponenti, "BitBtnAggiungiComponente", QStringLiteral("Aggi&ungi..."), partButtons);
    BitBtnModificaComponente =
        Button(GroupBoxComponenti, "BitBtnModificaComponente", QStringLiteral("Mo&difica..."), partButtons);
    BitBtnSpostaComponente =
        Button(GroupBoxComponenti, "BitBtnSpostaComponente", QStringLiteral("&Sposta..."), partButtons);
    BitBtnSostituisciComponente =
        Button(GroupBoxComponenti, "BitBtnSostituisciComponente", QStringLiteral("Sos&tituisci"), partButtons);
    BitBtnRitiraComponente =
        Button(GroupBoxComponenti, "BitBtnRitiraComponente", QStringLiteral("Rit&ira"), partButtons);
    BitBtnEliminaComponente =
        Button(GroupBoxComponenti, "BitBtnEliminaComponente", QStringLiteral("E&limina"), partButtons);
    partButtons->addStretch();
    auto* partList = new QVBoxLayout;
    partList->addWidget(ListViewComponenti, 1);
    partList->addWidget(LabelStoria);
    partList->addWidget(CheckBoxRitirati);
    auto* partsLayout = new QHBoxLayout(GroupBoxComponenti);
    partsLayout->addLayout(partList, 1);
    partsLayout->addLayout(partButtons);

    BitBtnChiudi = new QPushButton(QStringLiteral("C&hiudi"), this);
    BitBtnChiudi->setObjectName(QStringLiteral("BitBtnChiudi"));
    BitBtnChiudi->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    BitBtnChiudi->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(BitBtnChiudi);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bikesBox, 2);
    layout->addWidget(defaultsBox);
    layout->addWidget(GroupBoxComponenti, 3);
    layout->addLayout(bottom);
    for (QGroupBox* box : {bikesBox, defaultsBox, GroupBoxComponenti})
        SetCaptionColour(box, CaptionBlue());
    for (auto [button, icon] : {std::pair{BitBtnAggiungiBici, "add"}, {BitBtnModificaBici, "modify"},
                                {BitBtnEliminaBici, "delete"}, {BitBtnAggiungiComponente, "add"},
                                {BitBtnModificaComponente, "modify"}, {BitBtnEliminaComponente, "delete"}})
        button->setIcon(Icon(QLatin1StringView(icon)));

    connect(ListViewBici->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (!m_filling)
            ShowParts(0);
    });
    connect(ListViewComponenti->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (!m_filling)
            ShowSelection();
    });
    connect(ListViewBici, &QTreeView::doubleClicked, this, &TFormBici::BitBtnModificaBiciClick);
    connect(ListViewComponenti, &QTreeView::doubleClicked, this, &TFormBici::BitBtnModificaComponenteClick);
    connect(CheckBoxRitirati, &QCheckBox::toggled, this, [this] { ShowParts(SelectedPart()); });
    const std::pair<QPushButton*, void (TFormBici::*)()> buttons[] = {
        {BitBtnAggiungiBici, &TFormBici::BitBtnAggiungiBiciClick},
        {BitBtnModificaBici, &TFormBici::BitBtnModificaBiciClick},
        {BitBtnRitiraBici, &TFormBici::BitBtnRitiraBiciClick},
        {BitBtnEliminaBici, &TFormBici::BitBtnEliminaBiciClick},
        {BitBtnAggiungiComponente, &TFormBici::BitBtnAggiungiComponenteClick},
        {BitBtnModificaComponente, &TFormBici::BitBtnModificaComponenteClick},
        {BitBtnSpostaComponente, &TFormBici::BitBtnSpostaComponenteClick},
        {BitBtnSostituisciComponente, &TFormBici::BitBtnSostituisciComponenteClick},
        {BitBtnRitiraComponente, &TFormBici::BitBtnRitiraComponenteClick},
        {BitBtnEliminaComponente, &TFormBici::BitBtnEliminaComponenteClick},
        {BitBtnChiudi, &QDialog::accept},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
}

void TFormBici::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}

void TFormBici::ReadAgain(int bike, int part, bool tell)
{
    Bikes::Garage garage;
    Bikes::Usage usage;
    try {
        const WaitCursor wait;
        garage = m_store.Garage();
        usage = m_store.Usage(garage, m_today);
    } catch (const std::exception& e) {
        if (tell)
            MessageBoxes::Show(this, MessageBoxes::WithException(ReadFailedText, ReasonOf(e)), QMessageBox::Warning);
        return;
    }
    m_garage = std::move(garage);
    m_usage = std::move(usage);
    {
        const QScopedValueRollback filling(m_filling, true);
        m_bikes->SetBikes(m_garage, m_usage);
        const int row = m_bikes->RowOf(bike);
        Select(ListViewBici, row >= 0 ? row : 0);
    }
    ShowParts(part);
    ShowDefaults();
}

void TFormBici::ShowParts(int part)
{
    const int bike = SelectedBike();
    {
        const QScopedValueRollback filling(m_filling, true);
        m_parts->SetParts(m_garage, m_usage, bike, CheckBoxRitirati->isChecked());
        const int row = m_parts->RowOf(part);
        Select(ListViewComponenti, row >= 0 ? row : 0);
    }
    const Bikes::Bike* shown = m_bikes->BikeAt(ListViewBici->currentIndex().row());
    GroupBoxComponenti->setTitle(shown       ? PartsOfTitle.arg(Escaped(shown->name))
                                 : bike == 0 ? PartsOnNoBikeTitle
                                             : PartsTitle);
    ShowSelection();
}

void TFormBici::ShowDefaults()
{
    for (qsizetype i = 0; i < m_types.size(); ++i) {
        QComboBox* combo = ComboBoxPredefinita.at(i);
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItem(NoDefaultText, 0);
        for (const Bikes::Bike& bike : m_garage.bikes)
            if (!bike.retired)
                combo->addItem(bike.name, bike.key);
        const int index = combo->findData(m_garage.defaultBikes.value(m_types.at(i).key));
        combo->setCurrentIndex(std::max(index, 0));
    }
}

void TFormBici::ShowSelection()
{
    const Bikes::Bike* bike = m_bikes->BikeAt(ListViewBici->currentIndex().row());
    BitBtnModificaBici->setEnabled(bike);
    BitBtnRitiraBici->setEnabled(bike);
    BitBtnRitiraBici->setText(bike && bike->retired ? ReuseBikeText : RetireBikeText);
    BitBtnEliminaBici->setEnabled(bike);
    BitBtnAggiungiComponente->setEnabled(SelectedBike() >= 0);

    const int row = ListViewComponenti->currentIndex().row();
    const Bikes::Part* part = m_parts->PartAt(row);
    const bool inUse = part && !part->retired.isValid();
    BitBtnModificaComponente->setEnabled(part);
    BitBtnSpostaComponente->setEnabled(inUse);
    BitBtnSostituisciComponente->setEnabled(inUse);
    BitBtnRitiraComponente->setEnabled(inUse);
    BitBtnEliminaComponente->setEnabled(part);
    LabelStoria->setText(part ? QStringLiteral("Storia: ") + PartsModel::HistoryText(*part, m_garage) : QString());
}

int TFormBici::SelectedBike() const
{
    return m_bikes->Key(ListViewBici->currentIndex().row());
}

int TFormBici::SelectedPart() const
{
    return std::max(m_parts->Key(ListViewComponenti->currentIndex().row()), 0);
}

void TFormBici::Select(QTreeView* list, int row)
{
    if (row < 0 || row >= list->model()->rowCount()) {
        list->selectionModel()->clear();
        return;
    }
    list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFormBici::Write(const std::function<std::pair<int, int>()>& work)
{
    std::pair<int, int> select{SelectedBike(), SelectedPart()};
    bool written = true;
    try {
        const WaitCursor wait;
        select = work();
    } catch (const std::exception& e) {
        written = false;
        MessageBoxes::Show(this, MessageBoxes::WithException(WriteFailedText, ReasonOf(e)), QMessageBox::Warning);
    }
    // After a refusal, a database that cannot be read either has been told of once.
    ReadAgain(select.first, select.second, written);
}

bool TFormBici::Asked(const QString& question, bool yesByDefault)
{
    return MessageBoxes::Show(this, question, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                              yesByDefault ? QMessageBox::Yes : QMessageBox::No)
           == QMessageBox::Yes;
}

void TFormBici::BitBtnAggiungiBiciClick()
{
    BikeDialog dialog(this, m_garage, Bikes::Bike{}, m_today);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Write([&] { return std::pair{m_store.AddBike(dialog.Value()), 0}; });
}

void TFormBici::BitBtnModificaBiciClick()
{
    const Bikes::Bike* bike = m_bikes->BikeAt(ListViewBici->currentIndex().row());
    if (!bike)
        return;
    BikeDialog dialog(this, m_garage, *bike, m_today);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Write([&] {
        m_store.ChangeBike(dialog.Value());
        return std::pair{dialog.Value().key, SelectedPart()};
    });
}

void TFormBici::BitBtnRitiraBiciClick()
{
    const Bikes::Bike* shown = m_bikes->BikeAt(ListViewBici->currentIndex().row());
    if (!shown)
        return;
    Bikes::Bike bike = *shown;
    bike.retired = !bike.retired;
    Write([&] {
        m_store.ChangeBike(bike);
        // A bike no longer offered is no type's default either.
        if (bike.retired)
            for (auto it = m_garage.defaultBikes.cbegin(); it != m_garage.defaultBikes.cend(); ++it)
                if (it.value() == bike.key)
                    m_store.SetDefaultBike(it.key(), 0);
        return std::pair{bike.key, SelectedPart()};
    });
}

void TFormBici::BitBtnEliminaBiciClick()
{
    const Bikes::Bike* bike = m_bikes->BikeAt(ListViewBici->currentIndex().row());
    if (!bike)
        return;
    const int rides = m_usage.bikes.value(bike->key).rides;
    QString question = QStringLiteral("Eliminare la bici \"%1\"?").arg(bike->name);
    if (rides > 0)
        question += QStringLiteral("\r\n\r\n%1 nel diario senza bici.")
                        .arg(rides == 1 ? QStringLiteral("La sua uscita resta")
                                        : QStringLiteral("Le sue %1 uscite restano").arg(QLocale().toString(rides)));
    if (!Asked(question, false))
        return;
    const int key = bike->key;
    Write([&] {
        m_store.DeleteBike(key);
        return std::pair{-1, 0};
    });
}

void TFormBici::ComboBoxPredefinitaChange(int type, QComboBox* combo)
{
    const int bike = combo->currentData().toInt();
    Write([&] {
        m_store.SetDefaultBike(type, bike);
        return std::pair{SelectedBike(), SelectedPart()};
    });
}

void TFormBici::BitBtnAggiungiComponenteClick()
{
    const int bike = SelectedBike();
    if (bike < 0)
        return;
    Bikes::Fitting fitting;
    fitting.bike = bike;
    PartDialog dialog(this, Bikes::Part{}, fitting, m_usage.bikes.value(bike).km, m_today);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Write([&] { return std::pair{bike, m_store.AddPart(dialog.Part(), dialog.Fitting())}; });
}

void TFormBici::BitBtnModificaComponenteClick()
{
    const Bikes::Part* part = m_parts->PartAt(ListViewComponenti->currentIndex().row());
    if (!part)
        return;
    const Bikes::Fitting last = part->fittings.isEmpty() ? Bikes::Fitting{} : part->fittings.last();
    PartDialog dialog(this, *part, last, m_usage.bikes.value(last.bike).km, m_today);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Write([&] {
        m_store.ChangePart(dialog.Part());
        return std::pair{SelectedBike(), dialog.Part().key};
    });
}

void TFormBici::BitBtnSpostaComponenteClick()
{
    const Bikes::Part* part = m_parts->PartAt(ListViewComponenti->currentIndex().row());
    if (!part)
        return;
    MovePartDialog dialog(this, m_garage, *part, m_today);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int key = part->key;
    // The list follows the part onto its new bike.
    Write([&] {
        m_store.MovePart(key, dialog.Bike(), dialog.Day());
        return std::pair{dialog.Bike(), key};
    });
}

void TFormBici::BitBtnSostituisciComponenteClick()
{
    const Bikes::Part* part = m_parts->PartAt(ListViewComponenti->currentIndex().row());
    if (!part
        || !Asked(QStringLiteral("Sostituire \"%1\" con un componente nuovo?\r\n\r\n"
                                 "Quello attuale viene ritirato oggi e resta tra i componenti ritirati.")
                      .arg(part->name),
                  true))
        return;
    const int key = part->key;
    Write([&] { return std::pair{SelectedBike(), m_store.ReplacePart(key, m_today)}; });
}

void TFormBici::BitBtnRitiraComponenteClick()
{
    const Bikes::Part* part = m_parts->PartAt(ListViewComponenti->currentIndex().row());
    if (!part
        || !Asked(QStringLiteral("Ritirare \"%1\"?\r\n\r\nResta tra i componenti ritirati, con la sua storia.")
                      .arg(part->name),
                  true))
        return;
    const int key = part->key;
    Write([&] {
        m_store.RetirePart(key, m_today);
        return std::pair{SelectedBike(), key};
    });
}

void TFormBici::BitBtnEliminaComponenteClick()
{
    const Bikes::Part* part = m_parts->PartAt(ListViewComponenti->currentIndex().row());
    if (!part || !Asked(QStringLiteral("Eliminare il componente \"%1\" e la sua storia?").arg(part->name), false))
        return;
    const int key = part->key;
    Write([&] {
        m_store.DeletePart(key);
        return std::pair{SelectedBike(), 0};
    });
}
