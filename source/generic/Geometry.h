#ifndef TUNEWRIGHT_GEOMETRY_H
#define TUNEWRIGHT_GEOMETRY_H

// Screen geometry in window pixels: origin at the window's top-left corner, y growing downward.
// Plain values, copied freely; nothing normalises negative or inverted sizes.

// A screen rectangle covering X to X + W and Y to Y + H.
struct RectangleShape
{
    double X;
    double Y;
    double W;
    double H;

    // A rectangle of the given size at the window's origin.
    RectangleShape(double p_W, double p_H) : X(0.0), Y(0.0), W(p_W), H(p_H) {}
    RectangleShape(double p_X, double p_Y, double p_W, double p_H) : X(p_X), Y(p_Y), W(p_W), H(p_H) {}
};

// A point on the screen.
struct Position
{
    double X;
    double Y;

    Position(double p_X, double p_Y) : X(p_X), Y(p_Y) {}
};

#endif
