#pragma once

#include "data/Statistics.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>

// The chart of `slices` on `background`, as big as `size`, in the ellipse that fills it.
QImage PieChart(const QSize& size, const QList<Statistics::PieSlice>& slices, const QColor& background);
