#pragma once

#include "data/Statistics.h"
#include "forms/PrintJob.h"

#include "ui_Unitelaborazionedati.h"

#include <QDialog>
#include <QHash>

#include <functional>

class TZTConnection;

// The statistics window: a period, its computation, and the results in seven
// pages with two pie charts and a bar chart of the years. It keeps the last
// results for the printout.
class TFormElaborazioneDati : public QDialog, private Ui::TFormElaborazioneDati
{
public:
    TFormElaborazioneDati(QWidget* owner, int primoAnno, TZTConnection* connessione,
                          std::function<QDate()> today = [] { return QDate::currentDate(); },
                          PrintContext printContext = {});

    const StatisticsResult& Risultati() const { return m_risultati; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Column
    {
        const char* caption;
        int width;
        Qt::Alignment alignment;
    };

    void ButtonDataOdiernaClick();
    void ButtonTuttoIlMeseClick();
    void ButtonTuttoLAnnoClick();
    void ButtonAnnoPrecedenteClick();
    void BitBtnElaboraClick();
    void BitBtnStampaRisultatiClick();

    void ShowResultsArea();
    void ShowResults();
    void SetColumns(QTreeWidget* list, std::initializer_list<Column> columns, double scale);
    void FillList(QTreeWidget* list, const QList<QStringList>& rows, bool colourKey = false);
    void DisegnaGrafico(QLabel* image, const QList<double>& km);
    void DisegnaGraficoAnni();
    // The rider's goal for the current year; none without options.
    Statistics::YearGoal Obiettivo() const;

    TZTConnection* Connessione;
    int PrimoAnno;
    std::function<QDate()> m_today;
    PrintContext m_printContext;
    StatisticsResult m_risultati;
    // Each list's column widths as SetColumns laid them out, scaled with the window.
    QHash<const QTreeWidget*, QList<int>> m_columnWidths;
};
