#include "ui/cv_responsive_layout.h"

#include <algorithm>

namespace corvanta::ui {

CVResponsiveLayout::CVResponsiveLayout(QObject* parent) : QObject(parent) {}

double CVResponsiveLayout::factorFor(double width) {
    return std::max(width, kMinimumScaledWidth) / kDesignWidth;
}

void CVResponsiveLayout::setWidth(double width) {
    if (width != width_) {
        width_ = width;
        emit changed();
    }
}

void CVResponsiveLayout::setHeight(double height) {
    if (height != height_) {
        height_ = height;
        emit changed();
    }
}

}  // namespace corvanta::ui
