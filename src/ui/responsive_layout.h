#pragma once

#include <QObject>

namespace corvanta::ui {

// Every font size, padding and radius of the pages is designed for a 1920-wide window and goes
// through s(): windows narrower than 1600 keep the 1600 scale so text never gets too small.
class ResponsiveLayout : public QObject {
    Q_OBJECT
    Q_PROPERTY(double width READ width WRITE setWidth NOTIFY changed)
    Q_PROPERTY(double height READ height WRITE setHeight NOTIFY changed)
    Q_PROPERTY(double factor READ factor NOTIFY changed)

public:
    static constexpr double kDesignWidth = 1920;
    static constexpr double kMinimumScaledWidth = 1600;

    explicit ResponsiveLayout(QObject* parent = nullptr);

    double width() const { return width_; }
    double height() const { return height_; }
    void setWidth(double width);
    void setHeight(double height);
    double factor() const { return factorFor(width_); }

    // The design size `design` at the current width.
    Q_INVOKABLE double s(double design) const { return design * factor(); }
    static double factorFor(double width);

signals:
    void changed();

private:
    double width_ = 1920;
    double height_ = 1080;
};

}  // namespace corvanta::ui
