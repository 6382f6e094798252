#include "forms/Anchors.h"

#include <algorithm>
#include <cmath>

void Anchors::Add(QWidget* widget, Shares shares)
{
    m_entries.push_back({widget, shares, widget->geometry()});
}

void Anchors::Record(const QSize& size)
{
    m_base = size;
    for (Entry& entry : m_entries)
        if (entry.widget)
            entry.base = entry.widget->geometry();
}

void Anchors::Apply(const QSize& size) const
{
    if (!Recorded())
        return;
    const int dx = std::max(0, size.width() - m_base.width());
    const int dy = std::max(0, size.height() - m_base.height());
    const auto share = [](int gained, double part) { return int(std::lround(gained * part)); };
    for (const Entry& entry : m_entries) {
        if (!entry.widget)
            continue;
        const Shares& s = entry.shares;
        entry.widget->setGeometry(entry.base.x() + share(dx, s.x), entry.base.y() + share(dy, s.y),
                                  entry.base.width() + share(dx, s.width), entry.base.height() + share(dy, s.height));
    }
}
