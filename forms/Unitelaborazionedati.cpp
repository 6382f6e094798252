#include "forms/Unitelaborazionedati.h"

#include "data/BikeStore.h"
#include "data/ReportRows.h"
#include "data/RideLog.h"
#include "print/Reports.h"
#include "util/Application.h"
#include "forms/BarChart.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "forms/Pictures.h"
#include "forms/PieChart.h"
#include "forms/StatisticsRowsModel.h"
#include "forms/Styling.h"
#include "forms/WaitCursor.h"
#include "util/Exception.h"

#include <QHeaderView>
#include <QInputDialog>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QToolTip>
#include <QLocale>
#include <QShowEvent>
#include <QStyle>

namespace {

const QString PeriodRefusedText = QStringLiteral("ATTENZIONE: la data di inizio è successiva a quella di termine.");
const QString Top10FailedText = QStringLiteral("ATTENZIONE: errore nell'estrazione delle Top 10.");
const QString ComputationFailedText = QStringLiteral("ATTENZIONE: errore nell'elaborazione dati.");

// The locale's short date, always with a four-digit year.
QString DatePickerFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(u"yyyy"))
        format.replace(u"yy"_qs, u"yyyy"_qs);
    return format;
}

template <std::size_t N>
QList<double> Distances(const std::array<TZTMese, N>& entries)
{
    QList<double> km;
    for (const TZTMese& entry : entries)
        km.append(entry.KM);
    return km;
}

TDateTime WholeDay(const QDate& date)
{
    return TDateTime::FromQDate(date);
}

}

TFormElaborazioneDati::TFormElaborazioneDati(QWidget* owner, int primoAnno, RideLog& log,
                                             std::function<QDate()> today, PrintContext printContext)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                         | Qt::WindowCloseButtonHint),
      m_log(log), PrimoAnno(primoAnno), m_today(std::move(today)),
      m_printContext(std::move(printContext))
{
    setupUi(this);
    // A log without bikes has no bikes' page, and the window keeps its width;
    // bikes that cannot be read are as good as none.
    Quietly("bikes not read", [this] { m_withBikes = !m_log.Bikes().Garage().bikes.isEmpty(); });
    if (!m_withBikes)
        PageControlRisultati->setTabVisible(PageControlRisultati->indexOf(TabSheetBici), false);
    const double scale = FitToFont(this);
    setWindowIcon(Icon(QStringLiteral("statistics")));
    SetCaptionColour(GroupBoxPeriodo, CaptionBlue());
    SetCaptionColour(GroupBoxRisultati, CaptionBlue());
    BitBtnElabora->setIcon(Icon(QStringLiteral("statistics")));
    BitBtnStampaRisultati->setIcon(Icon(QStringLiteral("print")));
    BitBtnChiudi->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    const QDate now = m_today();
    const QDate first(PrimoAnno, 1, 1);
    for (QDateEdit* picker : {DTPInizio, DTPTermine}) {
        picker->setDisplayFormat(DatePickerFormat());
        picker->setMinimumDate(first);
    }
    DTPInizio->setDate(QDate(now.year(), 1, 1));
    DTPTermine->setDate(now);

    using namespace StatisticsColumns;
    SetUpList(ListViewTop10, Top10, scale);
    // The descriptions take what a wider window gives.
    ListViewTop10->header()->setStretchLastSection(true);
    SetUpList(ListViewMesi, Months, scale, ColourKey);
    SetUpList(ListViewGiorniSettimanali, Weekdays, scale, ColourKey);
    SetUpList(ListViewGiorniMensili, DaysOfMonth, scale);
    SetUpList(ListViewDecineDiKM, TensOfKm, scale);
    SetUpYears(scale);
    SetUpList(ListViewBici, PerBike, scale, BikeColourKey, true);
    SetUpGrowth();
    FitCharts();

    connect(ButtonDataOdierna, &QPushButton::clicked, this, &TFormElaborazioneDati::ButtonDataOdiernaClick);
    connect(ButtonTuttoIlMese, &QPushButton::clicked, this, &TFormElaborazioneDati::ButtonTuttoIlMeseClick);
    connect(ButtonTuttoLAnno, &QPushButton::clicked, this, &TFormElaborazioneDati::ButtonTuttoLAnnoClick);
    connect(ButtonAnnoPrecedente, &QPushButton::clicked, this, &TFormElaborazioneDati::ButtonAnnoPrecedenteClick);
    connect(BitBtnElabora, &QPushButton::clicked, this, &TFormElaborazioneDati::BitBtnElaboraClick);
    connect(BitBtnStampaRisultati, &QPushButton::clicked, this, &TFormElaborazioneDati::BitBtnStampaRisultatiClick);
    connect(BitBtnChiudi, &QPushButton::clicked, this, &QDialog::accept);

    // Until the first computation only the period and the commands show.
    GroupBoxRisultati->hide();
    setFixedSize(width(), BitBtnChiudi->geometry().bottom() + 1 + 8);
    BitBtnStampaRisultati->setEnabled(false);
}

// The lists are laid out like the rest of the window: as much wider as its font needs.
void TFormElaborazioneDati::SetUpList(QTreeView* list, std::span<const ReportColumn> columns, double scale,
                                      int colourKeyColumn, bool boldLastRow)
{
    auto* model = new StatisticsRowsModel(columns, {colourKeyColumn, boldLastRow}, list);
    m_models.insert(list, model);
    m_columnWidths.insert(list, ShowAsReport(list, model, scale));
}

void TFormElaborazioneDati::SetUpYears(double scale)
{
    SetUpList(ListViewAnni, StatisticsColumns::Years, scale, -1, true);
    // The total stays in view under the years, which scroll above it: a
    // second view of the same rows showing only the last, column for column.
    m_yearsTotal = new QTreeView(ListViewAnni->parentWidget());
    m_yearsTotal->setObjectName(QStringLiteral("ListViewAnniTotale"));
    ShowAsReport(m_yearsTotal, m_models.value(ListViewAnni));
    m_yearsTotal->setHeaderHidden(true);
    m_yearsTotal->setSelectionMode(QAbstractItemView::NoSelection);
    m_yearsTotal->setFocusPolicy(Qt::NoFocus);
    m_yearsTotal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_yearsTotal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int height = ListViewAnni->fontMetrics().height() + 4 + 2 * m_yearsTotal->frameWidth();
    const QRect years = ListViewAnni->geometry();
    ListViewAnni->setGeometry(years.adjusted(0, 0, 0, -height));
    m_yearsTotal->setGeometry(years.left(), years.bottom() - height + 1, years.width(), height);
    connect(ListViewAnni->header(), &QHeaderView::sectionResized, m_yearsTotal,
            [this](int column, int, int width) { m_yearsTotal->setColumnWidth(column, width); });
    connect(ListViewAnni->horizontalScrollBar(), &QScrollBar::valueChanged, m_yearsTotal->horizontalScrollBar(),
            &QScrollBar::setValue);

    // Three charts share the panel under the years, one at a time.
    m_yearCharts = new QTabBar(Panel3);
    m_yearCharts->setObjectName(QStringLiteral("TabBarGraficoAnni"));
    m_yearCharts->setDocumentMode(true);
    m_yearCharts->setDrawBase(false);
    m_yearCharts->setExpanding(false);
    for (const QString& name : {QStringLiteral("Mesi"), QStringLiteral("Anni"), QStringLiteral("Progressivo")})
        m_yearCharts->addTab(name);
    m_yearCharts->setTabToolTip(CumulativeChart, QStringLiteral("I km sommati giorno per giorno"));
    connect(m_yearCharts, &QTabBar::currentChanged, this, [this] {
        if (m_computed)
            DisegnaGraficoAnni();
    });
    ImageGraficoAnni->installEventFilter(this);
}

void TFormElaborazioneDati::FillYears()
{
    FillList(ListViewAnni, Statistics::YearRows(m_risultati, Obiettivo()));
    for (int column = 0; column < ListViewAnni->header()->count(); ++column)
        m_yearsTotal->setColumnWidth(column, ListViewAnni->columnWidth(column));
    const int total = ListViewAnni->model()->rowCount() - 1;
    for (int row = 0; row <= total; ++row) {
        ListViewAnni->setRowHidden(row, {}, row == total);
        m_yearsTotal->setRowHidden(row, {}, row != total);
    }
    // The latest years beside the chart of the last one.
    if (total > 0)
        ListViewAnni->scrollTo(ListViewAnni->model()->index(total - 1, 0));
}

void TFormElaborazioneDati::SetUpGrowth()
{
    for (QWidget* button : {static_cast<QWidget*>(BitBtnElabora), static_cast<QWidget*>(BitBtnStampaRisultati)})
        m_anchors.Add(button, {1, 0, 0, 0});
    m_anchors.Add(BitBtnChiudi, {1, 1, 0, 0});
    for (QWidget* whole : std::initializer_list<QWidget*>{GroupBoxRisultati, PageControlRisultati, GroupBox1,
                                                          ListViewTop10, ListViewGiorniMensili, ListViewDecineDiKM})
        m_anchors.Add(whole, {0, 0, 1, 1});
    // A list beside its pie: half each.
    for (QWidget* list : std::initializer_list<QWidget*>{ListViewMesi, ListViewGiorniSettimanali, ListViewBici})
        m_anchors.Add(list, {0, 0, 0.5, 1});
    for (QWidget* panel : std::initializer_list<QWidget*>{Panel1, Panel2, Panel4})
        m_anchors.Add(panel, {0.5, 0, 0.5, 1});
    // The years above their chart: half each.
    m_anchors.Add(ListViewAnni, {0, 0, 1, 0.5});
    m_anchors.Add(m_yearsTotal, {0, 0.5, 1, 0});
    m_anchors.Add(Panel3, {0, 0.5, 1, 0.5});
}

void TFormElaborazioneDati::FitCharts()
{
    // A pie keeps its round shape in the middle of its panel; the bars take the whole panel.
    for (const auto& [image, panel] : {std::pair{ImageGraficoMesi, Panel1}, std::pair{ImageGraficoGiorniSettimanali, Panel2},
                                       std::pair{ImageGraficoBici, Panel4}}) {
        const QRect room = panel->contentsRect().adjusted(8, 8, -8, -8);
        const int side = std::min(room.width(), room.height());
        image->setGeometry(QRect(0, 0, side, side).translated(room.center() - QPoint(side / 2, side / 2)));
    }
    const QRect chart = Panel3->contentsRect().adjusted(3, 3, -3, -3);
    const int tabs = m_yearCharts->sizeHint().height();
    m_yearCharts->setGeometry(chart.left(), chart.top(), chart.width(), tabs);
    ImageGraficoAnni->setGeometry(chart.adjusted(0, tabs, 0, 0));
    if (!m_computed)
        return;
    DisegnaGrafico(ImageGraficoMesi, Statistics::PieSlices(Distances(m_risultati.Mesi), m_risultati.KMTotali));
    DisegnaGrafico(ImageGraficoGiorniSettimanali,
                   Statistics::PieSlices(Distances(m_risultati.GiorniSettimanali), m_risultati.KMTotali));
    DisegnaGrafico(ImageGraficoBici, Statistics::BikeSlices(m_risultati));
    DisegnaGraficoAnni();
}

void TFormElaborazioneDati::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    m_anchors.Apply(size());
    FitCharts();
}

void TFormElaborazioneDati::showEvent(QShowEvent* event)
{
    // Centred at the size it opens with, not where the owner would put it.
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}

void TFormElaborazioneDati::ButtonDataOdiernaClick()
{
    DTPTermine->setDate(m_today());
}

void TFormElaborazioneDati::ButtonTuttoIlMeseClick()
{
    const Statistics::Period period = Statistics::WholeMonth(DTPTermine->date());
    DTPInizio->setDate(period.start);
    DTPTermine->setDate(period.end);
}

void TFormElaborazioneDati::ButtonTuttoLAnnoClick()
{
    const Statistics::Period period = Statistics::WholeYear(DTPTermine->date());
    DTPInizio->setDate(period.start);
    DTPTermine->setDate(period.end);
}

void TFormElaborazioneDati::ButtonAnnoPrecedenteClick()
{
    for (QDateEdit* picker : {DTPInizio, DTPTermine})
        picker->setDate(Statistics::PreviousYear(picker->date(), PrimoAnno));
}

void TFormElaborazioneDati::BitBtnElaboraClick()
{
    // Written before the check: a refused period is also what a printout then names.
    m_risultati.DataInizio = WholeDay(DTPInizio->date());
    m_risultati.DataTermine = WholeDay(DTPTermine->date());
    if (m_risultati.DataInizio > m_risultati.DataTermine) {
        MessageBoxes::Show(this, PeriodRefusedText, QMessageBox::Warning);
        DTPInizio->setFocus();
        return;
    }

    bool failed = false;
    {
        const WaitCursor wait;
        // Without the Top 10 the rest is complete and shown; without the period nothing is.
        const auto tell = [this](const QString& text, const Exception& e) {
            MessageBoxes::Show(this, MessageBoxes::WithException(text, e.Message()), QMessageBox::Warning);
        };
        try {
            m_log.ComputeStatistics(m_risultati);
        } catch (const Exception& e) {
            failed = true;
            tell(ComputationFailedText, e);
        }
        if (!failed) {
            try {
                m_log.ReadLongestRides(m_risultati);
            } catch (const Exception& e) {
                tell(Top10FailedText, e);
            }
            ShowResultsArea();
            ShowResults();
        }
    }
    BitBtnStampaRisultati->setEnabled(!failed);
}

void TFormElaborazioneDati::BitBtnStampaRisultatiClick()
{
    // The results shown, under the period last asked for, even a refused one.
    const ReportRows::Statistics report = ReportRows::StatisticsReport(m_risultati, Obiettivo(), m_withBikes);
    QInputDialog input(this);
    input.setWindowTitle(ApplicationTitle);
    input.setLabelText(QStringLiteral("Inserire una descrizione per il periodo:"));
    input.setTextValue(report.period);
    // Wide enough to show the proposed text whole, with room for the cursor and the frame.
    input.resize(std::max(input.sizeHint().width(), fontMetrics().horizontalAdvance(report.period) + 60),
                 input.sizeHint().height());
    if (input.exec() != QDialog::Accepted)
        return;
    const QString description = input.textValue();
    RunPrintJob(this, m_printContext, [&](QPrinter& printer, const Options& options) {
        Reports::PrintStatistics(printer, description, report, options);
    });
}

void TFormElaborazioneDati::ShowResultsArea()
{
    if (m_anchors.Recorded())
        return;
    GroupBoxRisultati->show();
    BitBtnChiudi->move(BitBtnChiudi->x(), GroupBoxRisultati->geometry().bottom() + 1 + 8);
    // The compact size is where the window starts and the least it shrinks to.
    const QSize compact(width(), BitBtnChiudi->geometry().bottom() + 1 + 8);
    setMinimumSize(compact);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(compact);
    m_anchors.Record(compact);
    CenterOnScreen(this);
}

void TFormElaborazioneDati::ShowResults()
{
    const Statistics::GeneralTexts texts = Statistics::General(m_risultati);
    LabelPeriodo->setText(texts.periodo);
    LabelKMTotali->setText(texts.kmTotali);
    LabelGiorniTotali->setText(texts.giorniTotali);
    LabelUsciteTotali->setText(texts.usciteTotali);
    LabelKMG->setText(texts.kmg);
    LabelKMU->setText(texts.kmu);

    FillList(ListViewTop10, Statistics::Top10Rows(m_risultati));
    FillList(ListViewMesi, Statistics::MonthRows(m_risultati));
    FillList(ListViewGiorniSettimanali, Statistics::WeekdayRows(m_risultati));
    FillList(ListViewGiorniMensili, Statistics::DayOfMonthRows(m_risultati));
    FillList(ListViewDecineDiKM, Statistics::TensOfKmRows(m_risultati));
    FillYears();
    FillList(ListViewBici, m_withBikes ? Statistics::BikeRows(m_risultati) : QList<QStringList>());
    ShowGoalOutlook();
    ReadYearCharts();
    m_computed = true;
    FitCharts();
}

void TFormElaborazioneDati::ShowGoalOutlook()
{
    const Statistics::YearGoal goal = Obiettivo();
    if (goal.km <= 0)
        return;
    const QAbstractItemModel* years = ListViewAnni->model();
    const QString name = QString::number(goal.year);
    for (int row = 0; row < years->rowCount(); ++row) {
        if (!years->index(row, 0).data().toString().startsWith(name))
            continue;
        // The goal panel's figures, over the goal's year.
        Quietly("year's outlook not shown", [&] {
            const Statistics::YearOutlook outlook = m_log.YearOutlook(m_log.YearProgress(goal.km, m_today()));
            m_models.value(ListViewAnni)->SetRowToolTip(row, Statistics::OutlookLines(outlook).join(u'\n'));
        });
        return;
    }
}

Statistics::YearGoal TFormElaborazioneDati::Obiettivo() const
{
    return {m_today().year(), m_printContext.options ? m_printContext.options().yearGoal : 0};
}

void TFormElaborazioneDati::FillList(QTreeView* list, QList<QStringList> rows)
{
    m_models.value(list)->SetRows(std::move(rows));
    FitColumnsToContents(list, m_columnWidths.value(list));
}

void TFormElaborazioneDati::DisegnaGrafico(QLabel* image, const QList<Statistics::PieSlice>& slices)
{
    image->setPixmap(QPixmap::fromImage(PieChart(image->size(), slices)));
}

void TFormElaborazioneDati::DisegnaGraficoAnni()
{
    const QSize size = ImageGraficoAnni->size();
    const QFont font = ImageGraficoAnni->font();
    const QColor background = palette().color(QPalette::Button), text = palette().color(QPalette::ButtonText);
    switch (m_yearCharts->currentIndex()) {
    case YearsChart:
        ImageGraficoAnni->setPixmap(
            QPixmap::fromImage(YearCharts::PaintTotals(size, font, m_yearTotals, background, text)));
        break;
    case CumulativeChart:
        ImageGraficoAnni->setPixmap(
            QPixmap::fromImage(YearCharts::PaintCumulative(size, font, DayByDay(), background, text)));
        break;
    default:
        ImageGraficoAnni->setPixmap(QPixmap::fromImage(BarChart::Paint(size, font, m_monthPairs, background, text)));
    }
}

void TFormElaborazioneDati::ReadYearCharts()
{
    const int year = Statistics::ChartYear(m_risultati);
    const QDate end = m_risultati.DataTermine.ToQDate();
    m_monthPairs = {year, m_risultati.KMMesiUltimoAnno, m_risultati.KMMesiAnnoPrecedente, -1};
    // A period that stops inside a month leaves that month's bar short of whole.
    if (end.addDays(1).month() == end.month())
        m_monthPairs.partialMonth = end.month() - 1;
    m_yearTotals.clear();
    for (const TZTAnno& anno : m_risultati.Anni)
        m_yearTotals.append({anno.Anno, anno.KM});
    m_yearDays.reset();
}

const QList<YearCharts::YearDays>& TFormElaborazioneDati::DayByDay()
{
    if (m_yearDays)
        return *m_yearDays;
    // Day by day, read apart from the period, and only once asked for (the
    // best year takes a pass over the whole log): the chart's year up to the
    // period's end, the one before and the best before it whole.
    m_yearDays.emplace();
    const int year = Statistics::ChartYear(m_risultati);
    const QDate end = m_risultati.DataTermine.ToQDate();
    Quietly("day by day chart not drawn", [&] {
        const auto whole = [this](int y, const QString& note, const QColor& colour) {
            m_yearDays->append({y, m_log.KmByDay(QDate(y, 1, 1), QDate(y, 12, 31)), note, colour});
        };
        m_yearDays->append({year, m_log.KmByDay(QDate(year, 1, 1), end), QString(), Statistics::YearColour(0)});
        whole(year - 1, QString(), Statistics::YearColour(1));
        const QList<Rides::YearByDay> past = m_log.YearsBefore(year - 1);
        const auto best = std::max_element(past.begin(), past.end(), [](const auto& a, const auto& b) { return a.km < b.km; });
        if (best != past.end())
            whole(best->year, QStringLiteral("migliore"), Statistics::ColoriGrafici(7));
    });
    return *m_yearDays;
}

QString TFormElaborazioneDati::YearChartToolTip(const QPoint& point) const
{
    const QSize size = ImageGraficoAnni->size();
    const QFontMetrics metrics = ImageGraficoAnni->fontMetrics();
    switch (m_yearCharts->currentIndex()) {
    case YearsChart:
        return YearCharts::TotalsToolTip(YearCharts::LayOutTotals(size, metrics, m_yearTotals), m_yearTotals, point);
    case CumulativeChart:
        if (!m_yearDays)
            return QString();
        return YearCharts::CumulativeToolTip(YearCharts::LayOutCumulative(size, metrics, *m_yearDays), *m_yearDays,
                                             point);
    default:
        return BarChart::ToolTip(BarChart::LayOut(size, metrics, m_monthPairs), m_monthPairs, point);
    }
}

bool TFormElaborazioneDati::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ImageGraficoAnni && event->type() == QEvent::ToolTip && m_computed) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const QString text = YearChartToolTip(help->pos()); !text.isEmpty())
            QToolTip::showText(help->globalPos(), text, ImageGraficoAnni);
        else
            QToolTip::hideText();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
