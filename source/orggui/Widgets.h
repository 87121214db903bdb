#ifndef TUNEWRIGHT_WIDGETS_H
#define TUNEWRIGHT_WIDGETS_H

#include <SDL.h>

#include "GraphicsOutput.h"
#include "Themes.h"

// The slider's callback: receives each new value during a drag.
typedef void (*RegVolume)(float);

// Widgets read the mouse through this pointer (SDL_GetMouseState by default) so that tests
// can stand in a mouse of their own.
typedef Uint8 (*MouseStateReader)(int*, int*);
extern MouseStateReader g_GetMouseState;

// A user-interface element: draws itself through g_GfxOut and reacts to mouse events, which
// the main loop hands to every widget in turn. Handlers get no event data: they read the
// mouse themselves.
class Widget
{
public:
    float X, Y, W, H; // rectangle in window pixels, y growing downward
    float Color[4];   // RGBA tint handed to DrawRect

    Widget() {} // fields are set by each concrete widget

    bool SetDimensions(float p_X, float p_Y, float p_W, float p_H)
    {
        X = p_X;
        Y = p_Y;
        W = p_W;
        H = p_H;
        return true;
    }

    virtual bool Draw() = 0;
    virtual bool RegisterMouseDown() = 0;   // true when the widget took the event
    virtual bool RegisterMouseUp() = 0;
    virtual bool RegisterMouseMotion() = 0;
};

// A horizontal bar with a 20-pixel knob, dragged with the left mouse button. Value v sits at
// pixel X + (v - Min) * W / (Max - Min); the knob is grabbed within 10 pixels of that centre.
// Requires Min < Max and a non-null callback. All geometry is in single precision.
class VolumeSlider : public Widget
{
public:
    VolumeSlider(float p_Min, float p_Max, float p_Current, RegVolume p_Callback)
        : Min(p_Min), Max(p_Max), Current(p_Current), DragX(0), DragY(0), Pressed(false), Callback(p_Callback)
    {
        Color[0] = Color[1] = Color[2] = Color[3] = 1.0f;
        X = 0.0f;
        Y = 0.0f;
        W = 175.0f;
        H = 100.0f;
    }

    // Draws the bar cropped at the value (not squeezed), then the knob over it. The theme's
    // slider image holds the bar in u 0 to 0.875 and the knob in u 0.875 to 1.
    bool Draw() override
    {
        if (g_GfxOut == nullptr)
            return false;
        float l_Fill = (Current - Min) * Scale();
        g_GfxOut->DrawRect(g_ThemeBitmaps[VOLUMESLIDER], TextureCoord(0, 0, 0.875f * (Current - Min) / (Max - Min), 1),
                           RectangleShape(X, Y, l_Fill, H), Color);
        g_GfxOut->DrawRect(g_ThemeBitmaps[VOLUMESLIDER], TextureCoord(0.875, 0, 1, 1),
                           RectangleShape(X + l_Fill - 10, Y, 20, H), Color);
        return true;
    }

    // A left press inside the knob's grab zone (edges excluded) starts a drag; a left press
    // elsewhere ends one. A press without the left button changes nothing but DragX/DragY.
    bool RegisterMouseDown() override
    {
        Uint8 l_Buttons = g_GetMouseState(&DragX, &DragY);
        if ((l_Buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) == 0)
            return false;
        float l_Offset = (Current - Min) * Scale();
        float l_Centre = X + l_Offset;
        float l_MouseX = static_cast<float>(DragX);
        float l_MouseY = static_cast<float>(DragY);
        if (l_MouseX > l_Centre - 10 && l_MouseX < l_Centre + 10 && l_MouseY > Y && l_MouseY < Y + H)
        {
            // Drag origin: the mouse x at which Min would sit under the grip, so the knob
            // does not jump to the pointer.
            DragX = static_cast<int>(l_MouseX - l_Offset);
            Pressed = true;
            return true;
        }
        Pressed = false;
        return false;
    }

    // Any button release ends a drag.
    bool RegisterMouseUp() override
    {
        Pressed = false;
        return true;
    }

    // While dragging: follow the pointer, clamp to the range, and report the value every time.
    bool RegisterMouseMotion() override
    {
        if (!Pressed)
            return false;
        int l_X = 0;
        int l_Y = 0;
        g_GetMouseState(&l_X, &l_Y);
        Current = Min + static_cast<float>(l_X - DragX) / Scale();
        if (Current > Max)
            Current = Max;
        if (Current < Min)
            Current = Min;
        Callback(Current);
        return true;
    }

private:
    float Scale() const { return W / (Max - Min); } // pixels per unit of value

    float Min, Max, Current;
    int DragX, DragY; // pointer at the last press; the drag origin while dragging
    bool Pressed;
    RegVolume Callback;
};

#endif
