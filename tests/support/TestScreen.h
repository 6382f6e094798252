#pragma once

#include "app/CommandScreen.h"
#include "util/Application.h"

#include <QGuiApplication>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

// The screen a command shows itself on, as a test sees it: the status texts in
// the order they changed (each with whether the hourglass was up), and what
// the command asked to be shown again.
class TestScreen : public CommandScreen
{
public:
    QStringList texts;
    QList<bool> hourglass;
    int monthShownAgain = 0;
    int yearProgressShown = 0;
    QList<std::pair<int, int>> monthsShown; // each ShowRidesOfMonth, year and month
    QList<std::optional<QString>> opened; // each LogOpened, with its failure
    Options options;

    QWidget* Window() override { return &m_window; }
    void SetStatusText(const QString& text) override
    {
        if (text == m_shown)
            return;
        m_shown = text;
        texts.append(text);
        const QCursor* cursor = QGuiApplication::overrideCursor();
        hourglass.append(cursor && cursor->shape() == Qt::WaitCursor);
    }
    Options CurrentOptions() const override { return options; }
    void ApplyOptions(const Options& applied) override { options = applied; }
    void ShowMonthAgain() override { ++monthShownAgain; }
    void ShowRidesOfMonth(int year, int month) override { monthsShown.append({year, month}); }
    void ShowYearProgress() override { ++yearProgressShown; }
    void LogOpened(const std::optional<QString>& failure) override { opened.append(failure); }
    int FirstCalendarYear() const override { return 1990; }
    QDate Today() const override { return QDate(2005, 3, 15); }
    std::array<quint16, 4> Version() const override { return {1, 1, 0, 0}; }

private:
    QWidget m_window;
    QString m_shown = ReadyStatusText;
};
