#pragma once

#include <QColor>
#include <QLine>
#include <QWidget>

namespace forms {

// A line one pixel wide between two points given in twips of its container, in its border
// colour; the container clips what lies outside its client area. A line is only drawn: mouse
// events pass through it to whatever lies below.
class Line : public QWidget {
    Q_OBJECT

public:
    explicit Line(QWidget* parent = nullptr);

    void setEnds(int x1, int y1, int x2, int y2);
    // The two ends in pixels of the container.
    QLine ends() const { return ends_; }

    void setBorderColor(const QColor& color);
    QColor borderColor() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLine ends_;
    QColor color_ = Qt::black;
};

}  // namespace forms
