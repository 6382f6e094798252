#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

// Widgets placed at fixed positions in a window that may grow: each moves and
// grows by its shares of what the window gained over the size they were
// placed for.
class Anchors
{
public:
    struct Shares
    {
        double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    };

    void Add(QWidget* widget, Shares shares);
    // The widgets' places now belong to a window of `size`.
    void Record(const QSize& size);
    bool Recorded() const { return m_base.isValid(); }
    // Places every widget for a window of `size`, never smaller than recorded.
    void Apply(const QSize& size) const;

private:
    struct Entry
    {
        QPointer<QWidget> widget;
        Shares shares;
        QRect base;
    };
    std::vector<Entry> m_entries;
    QSize m_base;
};
