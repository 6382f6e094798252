#pragma once

#include "data/Statistics.h"

#include <QImage>
#include <QList>
#include <QSize>

// The chart of `slices`, as big as `size`, in the ellipse that fills it, with
// smooth edges; transparent around the disc, so it lies on whatever panel holds it.
QImage PieChart(const QSize& size, const QList<Statistics::PieSlice>& slices);
