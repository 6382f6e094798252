#pragma once

#include "data/Statistics.h"
#include "forms/Anchors.h"
#include "forms/BarChart.h"
#include "forms/YearCharts.h"
#include "forms/PrintJob.h"

#include "ui_Unitelaborazionedati.h"

#include <QDialog>
#include <QHash>

#include <functional>
#include <optional>
#include <span>

class RideLog;
class StatisticsRowsModel;
struct ReportColumn;

// The statistics window: a period, its computation, and the results in seven
// pages with two pie charts and a bar chart of the years, and an eighth of the
// bikes with a pie of their own once the log has bikes. It keeps the last
// results for the printout.
class TFormElaborazioneDati : public QDialog, private Ui::TFormElaborazioneDati
{
public:
    // `log` is borrowed, open or not, for the computations.
    TFormElaborazioneDati(QWidget* owner, int primoAnno, RideLog& log,
                          std::function<QDate()> today = [] { return QDate::currentDate(); },
                          PrintContext printContext = {});

    const StatisticsResult& Risultati() const { return m_risultati; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ButtonDataOdiernaClick();
    void ButtonTuttoIlMeseClick();
    void ButtonTuttoLAnnoClick();
    void ButtonAnnoPrecedenteClick();
    void BitBtnElaboraClick();
    void BitBtnStampaRisultatiClick();

    void ShowResultsArea();
    void ShowResults();
    // Every page's lists and charts follow the window as it grows.
    void SetUpGrowth();
    // The charts fitted to their panels, and drawn again at that size once there are results.
    void FitCharts();
    // The years list and, pinned under it, the total.
    void SetUpYears(double scale);
    void FillYears();
    void SetUpList(QTreeView* list, std::span<const ReportColumn> columns, double scale, int colourKeyColumn = -1,
                   bool boldLastRow = false);
    void FillList(QTreeView* list, QList<QStringList> rows);
    void DisegnaGrafico(QLabel* image, const QList<Statistics::PieSlice>& slices);
    void DisegnaGraficoAnni();
    // What the years' charts draw: the period's months, its years, and the
    // last year day by day against the one before and the best one.
    void ReadYearCharts();
    QString YearChartToolTip(const QPoint& point) const;
    const QList<YearCharts::YearDays>& DayByDay();
    // The rider's goal for the current year; none without options.
    Statistics::YearGoal Obiettivo() const;
    // Over the goal's year in the years list, the figures of the goal panel.
    void ShowGoalOutlook();

    RideLog& m_log;
    int PrimoAnno;
    std::function<QDate()> m_today;
    PrintContext m_printContext;
    StatisticsResult m_risultati;
    // Each list's column widths as first laid out, scaled with the window.
    QHash<const QTreeView*, QList<int>> m_columnWidths;
    QHash<const QTreeView*, StatisticsRowsModel*> m_models;
    QTreeView* m_yearsTotal = nullptr;
    QTabBar* m_yearCharts = nullptr;
    enum YearChart { MonthsChart, YearsChart, CumulativeChart };
    BarChart::MonthPairs m_monthPairs;
    QList<YearCharts::YearTotal> m_yearTotals;
    std::optional<QList<YearCharts::YearDays>> m_yearDays; // read once the chart is shown
    Anchors m_anchors;
    bool m_computed = false;
    bool m_withBikes = false; // the log has bikes: read once, the window being modal
};
