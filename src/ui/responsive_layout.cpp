#include "ui/responsive_layout.h"

#include <algorithm>

namespace corvanta::ui {

ResponsiveLayout::ResponsiveLayout(QObject* parent) : QObject(parent) {}

double ResponsiveLayout::factorFor(double width) {
    return std::max(width, kMinimumScaledWidth) / kDesignWidth;
}

void ResponsiveLayout::setWidth(double width) {
    if (width != width_) {
        width_ = width;
        emit changed();
    }
}

void ResponsiveLayout::setHeight(double height) {
    if (height != height_) {
        height_ = height;
        emit changed();
    }
}

}  // namespace corvanta::ui
