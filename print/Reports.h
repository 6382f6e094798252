#pragma once

#include "data/ReportRows.h"
#include "util/Settings.h"

#include <QString>

class QPrinter;

// The two printed reports. Each lays out the texts it is given on `printer`
// with the rider's font and margins; each throws Exception when the printer
// fails, and then leaves no job behind.
namespace Reports {

// Rides that do not fit continue on further pages, each with the column
// headings and the footer; the totals follow the last ride. A column is
// widened where its texts would not fit it, the rides set smaller where the
// columns would then pass the page, and a description too long for the page
// is cut at the right margin.
void PrintMonth(QPrinter& printer, const ReportRows::Month& month, const Options& options);

// `description` heads the page, above the period. What does not fit continues
// on further pages, each with the footer; a table continued there repeats its
// headings. A column is widened, and the columns and tables beside it moved
// right, where its texts would not fit it; a table with no room beside another
// follows below it, set smaller if it would still pass the page. The years
// follow on a page of their own, and the bikes, where there are any, under
// them. The heading, the period, the totals and the table titles continue on
// a further line rather than be cut.
void PrintStatistics(QPrinter& printer, const QString& description, const ReportRows::Statistics& statistics,
                     const Options& options);

// The footer line: the application title and the credit line.
QString FooterText();

}
