// Rectangles of the image property record, over int and double coordinates.
//
// The two kinds measure differently, and the host relies on the difference:
// RectInt counts both edges (0..639 is 640 wide), RectFloat is half-open
// (0.0..640.0 is 640.0 wide). Neither validates its coordinates; a far edge
// before the near edge gives a zero or negative size.
#pragma once

#include "support/DestructorSlot.h"

namespace Qel {

template <class T>
class Rect {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual T width() const = 0;   // 1
    virtual T height() const = 0;  // 2

    T left;
    T top;
    T right;
    T bottom;

protected:
    Rect(T left, T top, T right, T bottom) : left(left), top(top), right(right), bottom(bottom) {}
    Rect(const Rect&) = default;
    Rect& operator=(const Rect&) = default;
    ~Rect() = default;
};

class RectInt : public Rect<int> {
    QEL_DESTRUCTOR_SLOT(RectInt)
public:
    RectInt() : RectInt(0, 0, 0, 0) {}
    RectInt(int left, int top, int right, int bottom) : Rect(left, top, right, bottom) {}
    ~RectInt() = default;

    int width() const override { return right - left + 1; }
    int height() const override { return bottom - top + 1; }
};

class RectFloat : public Rect<double> {
    QEL_DESTRUCTOR_SLOT(RectFloat)
public:
    RectFloat() : RectFloat(0.0, 0.0, 0.0, 0.0) {}
    RectFloat(double left, double top, double right, double bottom) : Rect(left, top, right, bottom) {}
    ~RectFloat() = default;

    double width() const override { return right - left; }
    double height() const override { return bottom - top; }
};

} // namespace Qel
